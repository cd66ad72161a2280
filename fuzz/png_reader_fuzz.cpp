// libFuzzer entry: the PNG reader on arbitrary bytes, then the writer on what it decoded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/codecs/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A low cap keeps each run fast; the size checks are the same at any cap.
  const murkel::PngDecodeResult r = murkel::decode_png(data, size, std::uint64_t{4} << 20);
  if (!r.ok()) {
    if (r.error.empty() || !r.image.pixels.empty() || !r.alpha.empty()) std::abort();
    return 0;
  }
  const murkel::Image& image = r.image;
  const std::size_t count = image.pixels.size();
  if (image.width <= 0 || image.height <= 0 ||
      count != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) ||
      (!r.alpha.empty() && r.alpha.size() != count))
    std::abort();
  for (murkel::Colour c : image.pixels)
    if (c > 0xFFFFFFu) std::abort();
  // Decoding what the writer made gives the picture and its alpha back (an
  // alpha of opaque pixels only may be left out: a palette file has none).
  std::vector<std::uint8_t> encoded;
  if (!murkel::encode_png_into(image, r.alpha, encoded).empty()) std::abort();
  const murkel::PngDecodeResult again = murkel::decode_png(encoded.data(), encoded.size(), std::uint64_t{4} << 20);
  const bool opaque = std::all_of(r.alpha.begin(), r.alpha.end(), [](std::uint8_t a) { return a == 255; });
  if (!again.ok() || again.image.pixels != image.pixels || again.reduced_from_16_bits ||
      (again.alpha != r.alpha && !(again.alpha.empty() && opaque)))
    std::abort();
  return 0;
}
