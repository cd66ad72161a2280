// File name extensions to picture formats.
#include "core/codecs/picture_format.h"

#include <cctype>
#include <string>
#include <type_traits>

namespace murkel {

namespace {

// Where the name's extension starts (its dot), or npos.
template <typename Char>
std::size_t extension_start(std::basic_string_view<Char> path) {
  constexpr Char kSeparators[] = {'\\', '/', 0};
  const std::size_t dot = path.find_last_of(Char{'.'});
  const std::size_t separator = path.find_last_of(kSeparators);
  if (dot == path.npos || (separator != path.npos && dot < separator)) return path.npos;
  return dot;
}

template <typename Char>
std::basic_string<Char> replaced_extension(std::basic_string_view<Char> path, std::basic_string_view<Char> extension) {
  std::basic_string<Char> name(path.substr(0, extension_start(path)));
  name += extension;
  return name;
}

template <typename Char>
PictureFormat format_of(std::basic_string_view<Char> path) {
  const std::size_t dot = extension_start(path);
  if (dot == path.npos) return PictureFormat::other;
  // Letters are compared in ASCII; any other character makes an unknown extension.
  std::string ext;
  for (const Char c : path.substr(dot + 1)) {
    const auto unit = static_cast<std::make_unsigned_t<Char>>(c);
    if (unit > 0x7F) return PictureFormat::other;
    ext += static_cast<char>(std::tolower(static_cast<int>(unit)));
  }
  if (ext == "bmp") return PictureFormat::bmp;
  if (ext == "png") return PictureFormat::png;
  if (ext == "jpg" || ext == "jpeg") return PictureFormat::jpeg;
  if (ext == "gif") return PictureFormat::gif;
  if (ext == "tif" || ext == "tiff") return PictureFormat::tiff;
  return PictureFormat::other;
}

}  // namespace

std::string with_extension(std::string_view path, std::string_view extension) {
  return replaced_extension(path, extension);
}

std::wstring with_extension(std::wstring_view path, std::wstring_view extension) {
  return replaced_extension(path, extension);
}

PictureFormat format_of_name(std::string_view path) { return format_of(path); }

PictureFormat format_of_name(std::wstring_view path) { return format_of(path); }

bool looks_like_bitmap_file(const unsigned char* data, std::size_t size) {
  return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

}  // namespace murkel
