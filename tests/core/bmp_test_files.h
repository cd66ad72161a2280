// A small independent bitmap file builder for the codec and CLI tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effects/pixels.h"

namespace bmp_test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// What goes into a file: the header kind and fields, and the pixel data as
// it is stored (rows already packed and ordered, or a run-length stream).
struct FileLayout {
  std::uint32_t header_size = 40;  // 12, 40, 52, 56, 108 or 124
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top-down
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::vector<murkel::Colour> palette;  // written B, G, R (, 0)
  std::uint32_t colours_used = 0;
  bool masks_present = false;
  std::uint32_t masks[3] = {0, 0, 0};
  Bytes pixel_data;
};

inline Bytes build_file(const FileLayout& s) {
  const bool core = s.header_size == 12;
  const std::size_t entry = core ? 3 : 4;
  const std::size_t mask_bytes = (s.masks_present && s.header_size == 40) ? 12 : 0;
  const std::size_t offset = 14 + s.header_size + mask_bytes + s.palette.size() * entry;
  Bytes b(offset + s.pixel_data.size(), 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<std::uint32_t>(b.size()));
  put32(b, 10, static_cast<std::uint32_t>(offset));
  put32(b, 14, s.header_size);
  if (core) {
    put16(b, 18, static_cast<std::uint32_t>(s.width));
    put16(b, 20, static_cast<std::uint32_t>(s.height));
    put16(b, 22, 1);
    put16(b, 24, s.bits);
  } else {
    put32(b, 18, static_cast<std::uint32_t>(s.width));
    put32(b, 22, static_cast<std::uint32_t>(s.height));
    put16(b, 26, 1);
    put16(b, 28, s.bits);
    put32(b, 30, s.compression);
    put32(b, 34, static_cast<std::uint32_t>(s.pixel_data.size()));
    put32(b, 46, s.colours_used);
    if (s.masks_present)
      for (int i = 0; i < 3; ++i) put32(b, 54 + 4 * i, s.masks[i]);
  }
  std::size_t at = 14 + s.header_size + mask_bytes;
  for (murkel::Colour c : s.palette) {
    b[at] = static_cast<std::uint8_t>(c >> 16);
    b[at + 1] = static_cast<std::uint8_t>(c >> 8);
    b[at + 2] = static_cast<std::uint8_t>(c);
    at += entry;
  }
  std::copy(s.pixel_data.begin(), s.pixel_data.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
  return b;
}

// Packs rows of raw pixel values (top row first) at the given bits per
// pixel, each row padded to 4 bytes, bottom row first unless top_down.
inline Bytes pack_rows(const std::vector<std::vector<std::uint32_t>>& rows, int bits, bool top_down) {
  Bytes out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto& row = rows[top_down ? r : rows.size() - 1 - r];
    Bytes packed((row.size() * bits + 31) / 32 * 4, 0);
    for (std::size_t x = 0; x < row.size(); ++x) {
      const std::uint32_t v = row[x];
      if (bits < 8) {
        const std::size_t bit = x * bits;
        packed[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
      } else {
        for (int i = 0; i < bits / 8; ++i) packed[x * (bits / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
      }
    }
    out.insert(out.end(), packed.begin(), packed.end());
  }
  return out;
}

// A plain 24-bit file of a picture (top row first), for tests that need input.
inline Bytes make_bmp24(const murkel::Image& image) {
  std::vector<std::vector<std::uint32_t>> rows(image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const murkel::Colour c = image.pixels[y * image.width + x];
      // Stored as B, G, R.
      rows[y].push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    }
  FileLayout s;
  s.width = image.width;
  s.height = image.height;
  s.bits = 24;
  s.pixel_data = pack_rows(rows, 24, false);
  return build_file(s);
}

}  // namespace bmp_test
