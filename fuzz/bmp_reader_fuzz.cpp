// libFuzzer entry: the bitmap reader on arbitrary bytes, then the writer on what it decoded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A low cap keeps each run fast; the size checks are the same at any cap.
  const murkel::DecodeResult r = murkel::decode_bmp(data, size, std::uint64_t{4} << 20, true);
  if (!r.ok()) {
    if (r.error.empty() || !r.image.pixels.empty()) std::abort();
    return 0;
  }
  const murkel::Image& image = r.image;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
    std::abort();
  for (murkel::Colour c : image.pixels)
    if (c > 0xFFFFFFu) std::abort();
  // A colour-table picture is its table at its indices (the editor shows it so).
  if (r.bits <= 8) {
    if (r.indices.size() != image.pixels.size()) std::abort();
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      const std::size_t index = r.indices[i];
      // A run-length picture without a table is index 0, black.
      const bool known = index < r.palette.size() || (r.palette.empty() && index == 0);
      if (!known || image.pixels[i] != (r.palette.empty() ? 0 : r.palette[index])) std::abort();
    }
  }
  // Decoding what the writer made gives the picture back.
  const murkel::EncodeResult encoded = murkel::encode_bmp24(image);
  if (!encoded.ok()) std::abort();
  const murkel::DecodeResult again = murkel::decode_bmp(encoded.bytes, std::uint64_t{4} << 20);
  if (!again.ok() || again.image.pixels != image.pixels) std::abort();
  return 0;
}
