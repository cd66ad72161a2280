// PNG files in and out through libpng (built only where libpng is found).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/codecs/bmp_reader.h"
#include "core/pixels.h"

namespace murkel {

struct PngDecodeResult {
  Image image;                      // colours 0x00BBGGRR, top row first
  std::vector<std::uint8_t> alpha;  // one per pixel when the file has transparency, else empty
  bool reduced_from_16_bits = false;
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads every colour type and bit depth (palette and grey with tRNS, grey
// with alpha, interlaced) as 8 bits per channel; 16-bit samples are scaled
// with rounding. Gamma and colour profiles are not applied; ancillary
// chunks other than tRNS are skipped unread. A damaged file is refused
// with libpng's reason, never read past its end.
[[nodiscard]] PngDecodeResult decode_png(const std::uint8_t* data, std::size_t size,
                                         std::uint64_t max_decoded_bytes = kMaxDecodedBytes);

// The zlib level of the files encode_png_into writes.
inline constexpr int kPngLevel = 6;

// Writes an 8-bit RGB file, or RGBA when alpha holds one value per pixel
// (empty alpha: RGB). The file holds IHDR, IDAT and IEND only. The rows are
// filtered and deflated in 1 MB pieces on all cores and joined into one
// zlib stream; the bytes do not depend on the number of cores.
// Returns an empty string on success, else the reason.
[[nodiscard]] std::string encode_png_into(const Image& image, const std::vector<std::uint8_t>& alpha,
                                          std::vector<std::uint8_t>& out, int level = kPngLevel);

}  // namespace murkel
