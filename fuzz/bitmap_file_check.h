// What every bitmap file must give, whatever its bytes: the reader decodes it both ways (a picture,
// and rows of the file's own format, which must agree) or refuses it both ways having written
// nothing; the writer's file of what it decoded gives the picture back. Aborts otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "../tests/core/bmp_test_files.h"

namespace fuzz {

// A low cap keeps each run fast; the size checks are the same at any cap.
inline constexpr std::uint64_t kCap = std::uint64_t{4} << 20;

inline void check_bitmap_file(const std::uint8_t* data, std::size_t size) {
  const murkel::DecodeResult r = murkel::decode_bmp(data, size, kCap);
  const murkel::BmpRowFormat format = murkel::bmp_row_format(data, size, kCap);
  std::vector<std::uint8_t> rows(format.ok() ? format.stride() * static_cast<std::size_t>(format.height) : 0, 0xAB);
  const murkel::RowTarget target{rows.data(), static_cast<std::ptrdiff_t>(format.stride())};
  if (!r.ok()) {
    if (r.error.empty() || !r.image.pixels.empty()) std::abort();
    // The rows decoder refuses it too, having written nothing.
    if (format.ok()) {
      const murkel::RowsDecoded decoded = murkel::decode_bmp_rows(data, size, format, target);
      if (decoded.ok() || decoded.written) std::abort();
      for (std::uint8_t b : rows)
        if (b != 0xAB) std::abort();
    }
    return;
  }
  const murkel::Image& image = r.image;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
    std::abort();
  for (murkel::Colour c : image.pixels)
    if (c > 0xFFFFFFu) std::abort();
  // The rows of the file's own format, decoded straight from its bytes, hold the same picture.
  if (!format.ok() || format.width != image.width || format.height != image.height) std::abort();
  if (!murkel::decode_bmp_rows(data, size, format, target).ok()) std::abort();
  if (bmp_test::row_colours(format, rows.data()) != image.pixels) std::abort();
  // Decoding what the writer made gives the picture back.
  const murkel::EncodeResult encoded = murkel::encode_bmp24(image);
  if (!encoded.ok()) std::abort();
  const murkel::DecodeResult again = murkel::decode_bmp(encoded.bytes, kCap);
  if (!again.ok() || again.image.pixels != image.pixels) std::abort();
}

}  // namespace fuzz
