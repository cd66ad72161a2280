// Decodes Windows bitmap files of every common kind into a 0x00BBGGRR picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace murkel {

// Decoded pictures larger than this many bytes (4 per pixel) are refused.
inline constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 30;

struct DecodeResult {
  Image image;        // top row first
  std::string error;  // empty on success
  bool top_down = false;  // the file stores its top row first
  // The file's own form, for a front end that keeps it: bits per pixel, the
  // colour table as read (1, 4 and 8 bits), the channel masks (16 and 32 bits).
  std::uint32_t bits = 0;
  std::vector<Colour> palette;
  std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue
  // Only with keep_indices: each pixel's colour table index, top row first.
  std::vector<std::uint8_t> indices;
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads core (12-byte) and info (40, 52, 56, 108, 124-byte) headers; 1, 4,
// 8, 16, 24 and 32 bits per pixel; uncompressed, bit fields (16 and 32 bits)
// and run-length (8 and 4 bits) pixel data; bottom-up and top-down rows.
// Damaged or hostile files are refused with a reason, never read past their
// end; nothing is allocated for the picture before its size is checked.
// keep_indices also gives the table index of each pixel of a colour-table file.
[[nodiscard]] DecodeResult decode_bmp(const std::uint8_t* data, std::size_t size,
                                      std::uint64_t max_decoded_bytes = kMaxDecodedBytes, bool keep_indices = false);
[[nodiscard]] inline DecodeResult decode_bmp(const std::vector<std::uint8_t>& bytes,
                                             std::uint64_t max_decoded_bytes = kMaxDecodedBytes,
                                             bool keep_indices = false) {
  return decode_bmp(bytes.data(), bytes.size(), max_decoded_bytes, keep_indices);
}

}  // namespace murkel
