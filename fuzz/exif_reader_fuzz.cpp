// libFuzzer entry: the orientation tag reader on arbitrary bytes, as a whole file and as a bare TIFF structure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/codecs/orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int orientation = murkel::picture_orientation(data, size);
  const int tiff = murkel::tiff_orientation(data, size);
  if (orientation < 1 || orientation > 8 || tiff < 1 || tiff > 8) std::abort();
  // Bytes that are not a JPEG are read as TIFF or not at all.
  if (!(size >= 2 && data[0] == 0xFF && data[1] == 0xD8) && orientation != 1 && orientation != tiff) std::abort();
  return 0;
}
