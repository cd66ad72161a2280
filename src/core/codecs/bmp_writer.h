// The 24-bit bitmap file layout and an encoder from a picture to file bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace murkel {

inline constexpr std::size_t kBmpHeaderSize = 54;  // 14-byte file header + 40-byte info header

// Sizes of a 24-bit bottom-up file for a picture of width x height.
struct Bmp24Layout {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t row_size = 0;    // 3 * width rounded up to a multiple of 4
  std::uint32_t image_size = 0;  // height * row_size
  std::uint32_t file_size = 0;   // 54 + image_size
};

// The layout, or nullopt when the sizes are negative or the file size does
// not fit the header's 32-bit fields (also kept below 2 GiB so that the
// signed size arithmetic of the other readers stays sound).
[[nodiscard]] std::optional<Bmp24Layout> bmp24_layout(std::int64_t width, std::int64_t height);

// Writes the 54 header bytes of a layout into out[0..53].
void write_bmp24_header(const Bmp24Layout& layout, std::uint8_t* out);

struct EncodeResult {
  std::vector<std::uint8_t> bytes;
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// The whole file: headers, then the rows bottom row first as blue, green,
// red, each row padded with zero bytes to the row size.
[[nodiscard]] EncodeResult encode_bmp24(const Image& image);

// The same into out, reusing its storage (a buffer that already holds a file
// of the same size costs no new memory). Returns an empty string on success.
[[nodiscard]] std::string encode_bmp24_into(const Image& image, std::vector<std::uint8_t>& out);

}  // namespace murkel
