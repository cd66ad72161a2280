// libFuzzer entry: the bitmap reader on arbitrary bytes, both ways (a picture and rows of the file's
// own format, which must agree), then the writer on what it decoded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "../tests/core/bmp_test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A low cap keeps each run fast; the size checks are the same at any cap.
  const murkel::DecodeResult r = murkel::decode_bmp(data, size, std::uint64_t{4} << 20);
  if (!r.ok()) {
    if (r.error.empty() || !r.image.pixels.empty()) std::abort();
    // The rows decoder refuses it too, having written nothing.
    const murkel::BmpRowFormat format = murkel::bmp_row_format(data, size, std::uint64_t{4} << 20);
    if (format.ok()) {
      std::vector<std::uint8_t> rows(format.stride() * static_cast<std::size_t>(format.height), 0xAB);
      const murkel::RowTarget target{rows.data(), static_cast<std::ptrdiff_t>(format.stride())};
      if (murkel::decode_bmp_rows(data, size, format, target).empty()) std::abort();
      for (std::uint8_t b : rows)
        if (b != 0xAB) std::abort();
    }
    return 0;
  }
  const murkel::Image& image = r.image;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
    std::abort();
  for (murkel::Colour c : image.pixels)
    if (c > 0xFFFFFFu) std::abort();
  // The rows of the file's own format, decoded straight from its bytes, hold the same picture.
  const murkel::BmpRowFormat format = murkel::bmp_row_format(data, size, std::uint64_t{4} << 20);
  if (!format.ok() || format.width != image.width || format.height != image.height) std::abort();
  std::vector<std::uint8_t> rows(format.stride() * static_cast<std::size_t>(format.height), 0xAB);
  const murkel::RowTarget target{rows.data(), static_cast<std::ptrdiff_t>(format.stride())};
  if (!murkel::decode_bmp_rows(data, size, format, target).empty()) std::abort();
  if (bmp_test::row_colours(format, rows.data()) != image.pixels) std::abort();
  // Decoding what the writer made gives the picture back.
  const murkel::EncodeResult encoded = murkel::encode_bmp24(image);
  if (!encoded.ok()) std::abort();
  const murkel::DecodeResult again = murkel::decode_bmp(encoded.bytes, std::uint64_t{4} << 20);
  if (!again.ok() || again.image.pixels != image.pixels) std::abort();
  return 0;
}
