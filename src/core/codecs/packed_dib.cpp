// Packed bitmaps in and out through the bitmap codec.
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

EncodeResult encode_packed_dib24(const Image& image) {
  EncodeResult result = encode_bmp24(image);
  if (result.ok()) result.bytes.erase(result.bytes.begin(), result.bytes.begin() + 14);
  return result;
}

}  // namespace murkel
