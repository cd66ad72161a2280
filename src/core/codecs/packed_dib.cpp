// Packed bitmaps in and out through the bitmap codec, and BGRA rows over white.
#include "core/codecs/packed_dib.h"

#include <algorithm>
#include <new>
#include <vector>

namespace murkel {

std::vector<std::uint8_t> packed_dib_as_file(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file;
  try {
    file.resize(14 + size);
  } catch (const std::bad_alloc&) {
    return {};
  }
  file[0] = 'B';
  file[1] = 'M';
  if (size > 0) std::copy(data, data + size, file.begin() + 14);
  return file;
}

DecodeResult decode_packed_dib(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  const std::vector<std::uint8_t> file = packed_dib_as_file(data, size);
  if (file.empty()) {
    DecodeResult result;
    result.error = "not enough memory for the bitmap";
    return result;
  }
  return decode_bmp(file, max_decoded_bytes);
}

EncodeResult encode_packed_dib24(const Image& image) {
  EncodeResult result = encode_bmp24(image);
  if (result.ok()) result.bytes.erase(result.bytes.begin(), result.bytes.begin() + 14);
  return result;
}

Image bgra_over_white(const std::uint8_t* rows, std::int32_t width, std::int32_t height, std::size_t stride) {
  Image image{width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height)};
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* p = rows + static_cast<std::size_t>(y) * stride;
    Colour* out = image.pixels.data() + static_cast<std::size_t>(y) * width;
    for (std::int32_t x = 0; x < width; ++x, p += 4) {
      const unsigned a = p[3];
      const auto mix = [a](unsigned v) { return static_cast<int>((v * a + 255 * (255 - a) + 127) / 255); };
      out[x] = make_colour(mix(p[2]), mix(p[1]), mix(p[0]));
    }
  }
  return image;
}

}  // namespace murkel
