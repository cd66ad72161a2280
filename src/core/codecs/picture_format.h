// Which picture format a file name's extension stands for.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace murkel {

enum class PictureFormat { bmp, png, jpeg, gif, tiff, other };

// By the extension after the last dot of the name, in any letter case:
// .bmp, .png, .jpg/.jpeg, .gif, .tif/.tiff; anything else (none included) is other.
[[nodiscard]] PictureFormat format_of_name(std::string_view path);
[[nodiscard]] PictureFormat format_of_name(std::wstring_view path);

// The name with its extension replaced by `extension` (".png"), or with it
// appended when the name has none.
[[nodiscard]] std::string with_extension(std::string_view path, std::string_view extension);
[[nodiscard]] std::wstring with_extension(std::wstring_view path, std::wstring_view extension);

// Whether the editor writes files of that format (GIF and other are read only).
[[nodiscard]] constexpr bool writable(PictureFormat f) {
  return f == PictureFormat::bmp || f == PictureFormat::png || f == PictureFormat::jpeg || f == PictureFormat::tiff;
}

// The bytes start as a bitmap file does ("BM").
[[nodiscard]] bool looks_like_bitmap_file(const unsigned char* data, std::size_t size);

}  // namespace murkel
