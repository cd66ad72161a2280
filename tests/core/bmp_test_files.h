// A small independent bitmap file builder, and files of every format with the colours they hold,
// for the codec, Win32 and CLI tests.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/codecs/bmp_reader.h"
#include "core/pixels.h"

namespace bmp_test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) { b[at] = v & 0xFF, b[at + 1] = v >> 8 & 0xFF; }
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) { put16(b, at, v & 0xFFFF), put16(b, at + 2, v >> 16); }

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
  put16(b, 0, 'B' | 'M' << 8);
  put32(b, 2, static_cast<std::uint32_t>(b.size()));
  put32(b, 10, static_cast<std::uint32_t>(offset));
  put32(b, 14, s.header_size);
  if (core) {
    put16(b, 18, static_cast<std::uint32_t>(s.width)), put16(b, 20, static_cast<std::uint32_t>(s.height));
    put16(b, 22, 1), put16(b, 24, s.bits);
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

inline std::vector<murkel::Colour> test_palette(std::uint32_t n) {
  std::vector<murkel::Colour> palette;
  for (std::uint32_t i = 0; i < n; ++i) palette.push_back(murkel::make_colour(i * 7 % 256, 255 - i, i * 13 % 256));
  return palette;
}

struct FormatCase {
  std::string name;
  FileLayout layout;
  std::vector<murkel::Colour> expected;  // top row first
};

// A file of raw pixel values (top row first) and the colours they must give; sign < 0 stores it top-down.
inline FormatCase direct(const char* name, std::uint32_t header, std::uint16_t bits, std::vector<std::uint32_t> masks,
                         std::vector<std::vector<std::uint32_t>> rows, std::vector<murkel::Colour> colours, int sign = 1) {
  FileLayout s{header, static_cast<std::int32_t>(rows[0].size()), sign * static_cast<std::int32_t>(rows.size()), bits,
               masks.empty() ? 0u : 3u};
  s.masks_present = !masks.empty();
  std::copy(masks.begin(), masks.end(), s.masks);
  s.pixel_data = pack_rows(rows, bits, sign < 0);
  return {name, s, std::move(colours)};
}

// Every header kind, bit depth, colour table size, channel mask and run-length form the reader takes.
inline std::vector<FormatCase> format_cases() {
  std::vector<FormatCase> cases;
  // Colour tables: header size, bits, entries used (0: all), width, height (< 0: top-down).
  const struct { std::uint32_t header, bits, used; int w, h; } tables[] = {
      {40, 1, 0, 11, 3}, {40, 1, 0, 33, 2}, {40, 4, 9, 7, 4}, {40, 8, 0, 6, 5},  {40, 8, 20, 5, 3},
      {40, 8, 0, 5, -3}, {12, 8, 0, 5, 3},  {12, 1, 0, 9, 2}, {12, 4, 0, 5, 3},  {108, 8, 0, 5, 3}, {124, 4, 0, 5, -3}};
  for (const auto& t : tables) {
    const std::uint32_t n = t.used ? t.used : 1u << t.bits;
    std::vector<std::vector<std::uint32_t>> rows(std::abs(t.h));
    std::vector<murkel::Colour> expected;
    FileLayout s{t.header, t.w, t.h, static_cast<std::uint16_t>(t.bits), 0, test_palette(n), t.header == 12 ? 0 : t.used};
    for (int y = 0; y < std::abs(t.h); ++y)
      for (int x = 0; x < t.w; ++x) {
        rows[y].push_back(static_cast<std::uint32_t>(x * 3 + y * 7) % n);
        expected.push_back(s.palette[rows[y].back()]);
      }
    s.pixel_data = pack_rows(rows, t.bits, t.h < 0);
    cases.push_back({std::to_string(t.bits) + " bpp, header " + std::to_string(t.header) + ", " + std::to_string(t.w) +
                         "x" + std::to_string(t.h), s, expected});
  }
  // Run-length streams by hand: bits, width, height, stream, the table entries expected (top row first).
  const struct { const char* name; std::uint16_t bits; int w, h; Bytes stream, indices; } runs[] = {
      {"8-bit runs with end of line", 8, 4, 2, {3, 5, 1, 6, 0, 0, 4, 9, 0, 0, 0, 1}, {9, 9, 9, 9, 5, 5, 5, 6}},
      {"8-bit absolute run, odd length padded", 8, 4, 1, {0, 3, 1, 2, 3, 0xAA, 1, 7, 0, 1}, {1, 2, 3, 7}},
      {"8-bit absolute run, even length", 8, 4, 1, {0, 4, 4, 3, 2, 1, 0, 1}, {4, 3, 2, 1}},
      {"8-bit delta skips pixels that keep entry 0", 8, 3, 3, {1, 8, 0, 2, 1, 1, 1, 9, 0, 1}, {0, 0, 0, 0, 0, 9, 8, 0, 0}},
      {"8-bit run past the right edge is cut", 8, 3, 2, {5, 4, 0, 0, 1, 2, 0, 1}, {2, 0, 0, 4, 4, 4}},
      {"8-bit end of bitmap early leaves entry 0", 8, 2, 2, {2, 3, 0, 1}, {0, 0, 3, 3}},
      {"4-bit run alternates nibbles", 4, 5, 1, {5, 0x12, 0, 1}, {1, 2, 1, 2, 1}},
      {"4-bit absolute run of 5 takes 3 bytes and a pad", 4, 6, 1, {0, 5, 0x34, 0x56, 0x70, 0, 1, 0xF0, 0, 1},
       {3, 4, 5, 6, 7, 15}},
      {"4-bit absolute run of 3 takes 2 bytes, no pad", 4, 4, 2, {0, 3, 0xAB, 0xC0, 0, 0, 4, 0x11, 0, 1},
       {1, 1, 1, 1, 10, 11, 12, 0}},
  };
  for (const auto& r : runs) {
    FormatCase c{r.name, {40, r.w, r.h, r.bits, r.bits == 8 ? 1u : 2u, test_palette(16), 16, false, {}, r.stream}};
    for (std::uint8_t i : r.indices) c.expected.push_back(c.layout.palette[i]);
    cases.push_back(c);
  }
  // 16 bpp without masks is 5-5-5; 5-bit values widen as (v << 3) | (v >> 2), 6-bit as (v << 2) | (v >> 4).
  cases.push_back(direct("16 bpp 555", 40, 16, {}, {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x0000, 0x8421}},
                         {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x080808}));
  cases.push_back(direct("16 bpp 565 bit fields", 40, 16, {0xF800, 0x07E0, 0x001F},
                         {{0xF800, 0x07E0, 0x001F}, {0x0020, 0x0400, 0x0821}},
                         {0x0000FF, 0x00FF00, 0xFF0000, 0x000400, 0x008200, 0x080408}));
  cases.push_back(direct("16 bpp 565 V5 top-down", 124, 16, {0xF800, 0x07E0, 0x001F}, {{0xF800, 0x0001}, {0x07E0, 0xFFFF}},
                         {0x0000FF, 0x080000, 0x00FF00, 0xFFFFFF}, -1));
  // A 3-bit channel widens by repeating its bits: 0b101 -> 0b10110110; 4 bits as 0xA -> 0xAA.
  cases.push_back(direct("16 bpp 3-bit channels", 40, 16, {0x01C0, 0x0038, 0x0007}, {{0x0140, 0x0001}},
                         {0x0000B6, 0x240000}));
  cases.push_back(direct("16 bpp 4-4-4", 40, 16, {0x0F00, 0x00F0, 0x000F}, {{0x0A00, 0x0013}}, {0x0000AA, 0x331100}));
  cases.push_back(direct("16 bpp zero bit fields give black", 40, 16, {0, 0, 0}, {{0x7FFF, 0x1234}}, {0, 0}));
  cases.push_back(direct("24 bpp", 40, 24, {}, {{0x0000FF, 0x00FF00, 0xFF0000}, {0x123456, 0, 0xFFFFFF}},
                         {0xFF0000, 0x00FF00, 0x0000FF, 0x563412, 0, 0xFFFFFF}));
  cases.push_back(direct("24 bpp core header", 12, 24, {}, {{0x0000FF, 0x123456}}, {0xFF0000, 0x563412}));
  // 32 bpp: B, G, R, and a fourth byte that is ignored; 10-bit channels keep their top 8 bits.
  cases.push_back(direct("32 bpp", 40, 32, {}, {{0xFF0000FF, 0x7F123456}, {0x00FF0000, 0x0000FF00}},
                         {0xFF0000, 0x563412, 0x0000FF, 0x00FF00}));
  cases.push_back(direct("32 bpp RGBX bit fields", 40, 32, {0x000000FF, 0x0000FF00, 0x00FF0000},
                         {{0x000000FF, 0x00563412}}, {0x0000FF, 0x563412}));
  cases.push_back(direct("32 bpp 10-10-10 bit fields, 56-byte header", 56, 32, {0x3FF00000, 0x000FFC00, 0x000003FF},
                         {{0x3FF00000, 0x00080000 | 0x0000000F}}, {0x0000FF, 0x038000}));
  cases.push_back(direct("32 bpp V4 bit fields", 108, 32, {0x00FF0000, 0x0000FF00, 0x000000FF},
                         {{0x00010203, 0xFFFFFFFF}}, {0x030201, 0xFFFFFF}));
  return cases;
}

// The colours held by rows of a BmpRowFormat (row 0 first, stride() apart), top row first: table
// entries (index 0 of no table is black), 5-bit channels widened as (v << 3) | (v >> 2), 6-bit as (v << 2) | (v >> 4).
inline std::vector<murkel::Colour> row_colours(const murkel::BmpRowFormat& f, const std::uint8_t* rows) {
  const auto five = [](std::uint32_t v) { return static_cast<int>(v << 3 | v >> 2); };
  const auto six = [](std::uint32_t v) { return static_cast<int>(v << 2 | v >> 4); };
  std::vector<murkel::Colour> colours;
  for (std::int32_t y = 0; y < f.height; ++y) {
    const std::uint8_t* row = rows + static_cast<std::size_t>(y) * f.stride();
    for (std::int32_t x = 0; x < f.width; ++x) {
      if (f.bits <= 8) {
        const std::uint32_t per = 8 / f.bits, shift = (per - 1 - x % per) * f.bits;
        const std::uint32_t index = row[x / per] >> shift & ((1u << f.bits) - 1);
        colours.push_back(index < f.palette.size() ? f.palette[index] : index == 0 ? 0 : murkel::kOutsideColour);
      } else if (f.bits == 16) {
        const std::uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
        colours.push_back(f.five_six_five ? murkel::make_colour(five(v >> 11), six(v >> 5 & 63), five(v & 31))
                                          : murkel::make_colour(five(v >> 10 & 31), five(v >> 5 & 31), five(v & 31)));
      } else {
        const std::uint8_t* p = row + x * (f.bits / 8);
        colours.push_back(murkel::make_colour(p[2], p[1], p[0]));
      }
    }
  }
  return colours;
}

// A plain 24-bit (or 32-bit) file of a picture (top row first), for tests that need input.
inline Bytes make_bmp24(const murkel::Image& image, int bits = 24) {
  std::vector<std::vector<std::uint32_t>> rows(image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const murkel::Colour c = image.pixels[y * image.width + x];
      rows[y].push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));  // stored as B, G, R
    }
  return build_file(FileLayout{40, image.width, image.height, static_cast<std::uint16_t>(bits), 0, {}, 0, false, {},
                               pack_rows(rows, bits, false)});
}

}  // namespace bmp_test
