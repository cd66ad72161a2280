// PNG files in and out: libdeflate compresses and inflates, libpng reads the
// kinds the quick reader leaves to it (built only where both are found).
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
  // The colour profile of the file's iCCP chunk, inflated; empty when it has
  // none or one that cannot be read whole (see decode_png).
  std::vector<std::uint8_t> icc_profile;
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// The largest colour profile decode_png inflates: real ones are far smaller.
inline constexpr std::size_t kMaxPngProfileBytes = std::size_t{4} << 20;

// Reads every colour type and bit depth (palette and grey with tRNS, grey
// with alpha, interlaced) as 8 bits per channel; 16-bit samples are scaled
// with rounding. Gamma and colour profiles are not applied: the profile of
// an iCCP chunk before PLTE and IDAT is only inflated into icc_profile (none
// when its checksum or stream is damaged or it is larger than
// kMaxPngProfileBytes); other ancillary chunks but tRNS are skipped unread.
// 8-bit RGB and RGBA files that are not interlaced are inflated at once by
// libdeflate; any other, and any file that way does not take whole, is read
// by libpng. A damaged file is refused with libpng's reason, never read past
// its end.
[[nodiscard]] PngDecodeResult decode_png(const std::uint8_t* data, std::size_t size,
                                         std::uint64_t max_decoded_bytes = kMaxDecodedBytes);

// The libdeflate level (1..12) of the files encode_png_into writes.
inline constexpr int kPngLevel = 6;

// Writes a palette file of 1, 2, 4 or 8 bits (with a tRNS chunk of the
// palette's alphas where one is not opaque) when the picture has at most 256
// colours, each with its alpha; else an 8-bit RGB file, or RGBA when alpha
// holds one value per pixel (empty alpha: RGB). The file holds IHDR, PLTE and
// tRNS as needed, IDAT and IEND only. The rows are filtered (each with the
// filter of the smallest sum of magnitudes; palette rows unfiltered) and
// deflated in 2 MB pieces on all cores and joined into one zlib stream:
// libdeflate at `level` deflates most pieces, pieces of noise are coded
// without matches and pieces largely of noise with a quicker search of
// their own. The bytes do not depend on the number of cores.
// Returns an empty string on success, else the reason.
[[nodiscard]] std::string encode_png_into(const Image& image, const std::vector<std::uint8_t>& alpha,
                                          std::vector<std::uint8_t>& out, int level = kPngLevel);

}  // namespace murkel
