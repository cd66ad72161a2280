// Encodes a picture as an uncompressed 24-bit bottom-up bitmap file in memory.
#include "core/codecs/bmp_writer.h"

#include <limits>
#include <new>

namespace murkel {
namespace {

void put_u16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

std::optional<Bmp24Layout> bmp24_layout(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0) return std::nullopt;
  if (width > std::numeric_limits<std::int32_t>::max() || height > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  const std::int64_t row_size = 3 * width + ((4 - (3 * width) % 4) % 4);
  // Both factors are below 2^33, so the product cannot overflow 64 bits.
  const std::int64_t image_size = row_size * height;
  const std::int64_t file_size = image_size + static_cast<std::int64_t>(kBmpHeaderSize);
  if (file_size > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return Bmp24Layout{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                     static_cast<std::uint32_t>(row_size), static_cast<std::uint32_t>(image_size),
                     static_cast<std::uint32_t>(file_size)};
}

void write_bmp24_header(const Bmp24Layout& layout, std::uint8_t* out) {
  for (std::size_t i = 0; i < kBmpHeaderSize; ++i) out[i] = 0;
  out[0] = 'B';
  out[1] = 'M';
  put_u32(out + 2, layout.file_size);
  put_u32(out + 10, static_cast<std::uint32_t>(kBmpHeaderSize));
  put_u32(out + 14, 40);
  put_u32(out + 18, static_cast<std::uint32_t>(layout.width));
  put_u32(out + 22, static_cast<std::uint32_t>(layout.height));
  put_u16(out + 26, 1);
  put_u16(out + 28, 24);
  put_u32(out + 34, layout.image_size);
}

std::string encode_bmp24_into(const Image& image, std::vector<std::uint8_t>& out) {
  const auto layout = bmp24_layout(image.width, image.height);
  if (!layout)
    return "the picture is too large for a bitmap file (" + std::to_string(image.width) + " x " +
           std::to_string(image.height) + ")";
  if (image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
    return "the picture's size does not match its pixels";
  try {
    out.resize(layout->file_size);
  } catch (const std::bad_alloc&) {
    return "not enough memory for a bitmap file of " + std::to_string(layout->file_size) + " bytes";
  }
  std::uint8_t* const file = out.data();
  write_bmp24_header(*layout, file);
  const std::size_t width = static_cast<std::size_t>(image.width);
  const std::size_t padding = layout->row_size - 3 * width;
  for (std::int32_t row = 0; row < image.height; ++row) {
    const Colour* src = image.pixels.data() + static_cast<std::size_t>(image.height - 1 - row) * width;
    std::uint8_t* dst = file + kBmpHeaderSize + static_cast<std::size_t>(row) * layout->row_size;
    for (std::size_t x = 0; x < width; ++x) {
      const Colour c = src[x];
      dst[0] = static_cast<std::uint8_t>(c >> 16);  // blue
      dst[1] = static_cast<std::uint8_t>(c >> 8);   // green
      dst[2] = static_cast<std::uint8_t>(c);        // red
      dst += 3;
    }
    // The buffer may hold old bytes: clear the row's padding.
    for (std::size_t i = 0; i < padding; ++i) dst[i] = 0;
  }
  return {};
}

EncodeResult encode_bmp24(const Image& image) {
  EncodeResult result;
  result.error = encode_bmp24_into(image, result.bytes);
  if (!result.error.empty()) result.bytes.clear();
  return result;
}

}  // namespace murkel
