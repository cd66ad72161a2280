// The size a PNG, JPEG, GIF or TIFF file claims, read from its own header
// before any platform decoder sees the bytes: some decoders allocate the
// whole picture (or every frame of a GIF) as soon as they are given a file,
// so a few bytes claiming 65500 x 65500 would cost gigabytes before any size
// check of ours could look at the decoded frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/codecs/picture_format.h"
#include "core/pixels.h"

namespace murkel {

struct PictureHeader {
  PictureFormat format = PictureFormat::other;  // png, jpeg, gif or tiff by the bytes' signature; other for none
  std::uint32_t width = 0;                      // PNG IHDR, JPEG frame header, GIF screen, TIFF first directory
  std::uint32_t height = 0;
  std::string error;  // empty when the size was read, is not zero and is within the limit
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads the size the bytes claim, never past `size`, in time proportional to
// the bytes at most. Refused: bytes of no such format, a header that is
// missing or cut short, a size of zero, and any size past the limit; for a
// GIF also its frames together past the limit.
[[nodiscard]] PictureHeader read_picture_header(const std::uint8_t* data, std::size_t size,
                                                std::uint64_t max_decoded_bytes = kMaxDecodedBytes);

}  // namespace murkel
