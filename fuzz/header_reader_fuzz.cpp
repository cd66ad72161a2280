// libFuzzer entry: the picture header reader on arbitrary bytes. It reads none past them (the
// sanitizers see to that) and accepts only a size of the format its signature names, not zero and
// within the limit; what it refuses has no size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/codecs/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint64_t kCap = std::uint64_t{4} << 20;
  const murkel::PictureHeader h = murkel::read_picture_header(data, size, kCap);
  if (!h.ok()) {
    if (h.width != 0 || h.height != 0) std::abort();
    return 0;
  }
  if (h.format == murkel::PictureFormat::other || h.width == 0 || h.height == 0 ||
      !murkel::within_picture_limit(h.width, h.height, kCap))
    std::abort();
  // A higher limit accepts it too, with the same size.
  const murkel::PictureHeader again = murkel::read_picture_header(data, size);
  if (!again.ok() || again.format != h.format || again.width != h.width || again.height != h.height) std::abort();
  return 0;
}
