// Tests of the bitmap writer's bytes, the reader on every format, refusals of
// damaged files, and the whole-file helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_test_files.h"
#include "imagefile/bmp_file_io.h"
#include "imagefile/bmp_reader.h"
#include "imagefile/bmp_writer.h"

using namespace murkel;
using bmp_test::Bytes;
using bmp_test::FileLayout;

namespace {

std::uint32_t u32_at(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t u16_at(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

Image picture(int w, int h, std::vector<Colour> pixels) { return Image{w, h, std::move(pixels)}; }

// A w x h picture where every pixel differs and red, green and blue differ.
Image gradient(int w, int h) {
  Image image{w, h, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(make_colour(10 + x * 20, 100 + y * 30, 200 - x - y));
  return image;
}

// ---------------------------------------------------------------- writer

TEST(BmpWriter, LayoutSizes) {
  struct Case {
    std::int64_t w, h;
    std::uint32_t row, image, file;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 54},     {1, 1, 4, 4, 58},         {1, 3, 4, 12, 66},  {2, 1, 8, 8, 62},
      {3, 2, 12, 24, 78},   {4, 2, 12, 24, 78},       {5, 3, 16, 48, 102}, {6, 5, 20, 100, 154},
      {7, 1, 24, 24, 78},   {1000, 0, 3000, 0, 54},
  };
  for (const Case& c : cases) {
    const auto layout = bmp24_layout(c.w, c.h);
    ASSERT_TRUE(layout) << c.w << "x" << c.h;
    EXPECT_EQ(layout->row_size, c.row) << c.w << "x" << c.h;
    EXPECT_EQ(layout->image_size, c.image) << c.w << "x" << c.h;
    EXPECT_EQ(layout->file_size, c.file) << c.w << "x" << c.h;
  }
}

TEST(BmpWriter, LayoutRefusesSizesBeyondTheHeaderFields) {
  // 3 * 46341 = 139023 -> row 139024; times 15447 rows = 2147503728 > 2^31 - 1.
  EXPECT_FALSE(bmp24_layout(46341, 15447));
  EXPECT_FALSE(bmp24_layout(100000, 100000));
  EXPECT_FALSE(bmp24_layout(0x7FFFFFFF, 1));
  EXPECT_FALSE(bmp24_layout(-1, 5));
  EXPECT_FALSE(bmp24_layout(5, -1));
  EXPECT_FALSE(bmp24_layout(std::int64_t{1} << 32, 1));
  // The largest one-row picture that still fits: 54 + 3w <= 2^31 - 1.
  const std::int64_t w = (0x7FFFFFFF - 54) / 3 / 4 * 4;
  const auto fits = bmp24_layout(w, 1);
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->file_size, 54 + 3 * w);
}

TEST(BmpWriter, EmptyPictureIsTheTwoHeaders) {
  const EncodeResult r = encode_bmp24(Image{});
  ASSERT_TRUE(r.ok()) << r.error;
  const Bytes expected = {'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                          0,   24,  0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(r.bytes, expected);
}

TEST(BmpWriter, HeaderFieldsOfFiveByThree) {
  const EncodeResult r = encode_bmp24(gradient(5, 3));
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.bytes.size(), 102u);
  EXPECT_EQ(r.bytes[0], 'B');
  EXPECT_EQ(r.bytes[1], 'M');
  EXPECT_EQ(u32_at(r.bytes, 2), 102u);
  EXPECT_EQ(u32_at(r.bytes, 6), 0u);
  EXPECT_EQ(u32_at(r.bytes, 10), 54u);
  EXPECT_EQ(u32_at(r.bytes, 14), 40u);
  EXPECT_EQ(u32_at(r.bytes, 18), 5u);
  EXPECT_EQ(u32_at(r.bytes, 22), 3u);
  EXPECT_EQ(u16_at(r.bytes, 26), 1u);
  EXPECT_EQ(u16_at(r.bytes, 28), 24u);
  EXPECT_EQ(u32_at(r.bytes, 30), 0u);
  EXPECT_EQ(u32_at(r.bytes, 34), 48u);
  for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(r.bytes[at], 0) << at;
}

TEST(BmpWriter, RowsAreBottomUpBgrWithZeroPadding) {
  const Colour red = 0x0000FF, blue = 0xFF0000, green = 0x00FF00, odd = 0x123456;
  struct Case {
    Image image;
    Bytes pixels;  // everything after byte 54
  };
  const Case cases[] = {
      // Width 1: one pad byte per row; the bottom row comes first.
      {picture(1, 2, {red, blue}), {0xFF, 0, 0, 0, 0, 0, 0xFF, 0}},
      // Width 4: twelve bytes, no padding.
      {picture(4, 1, {red, green, blue, odd}), {0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0x12, 0x34, 0x56}},
      // Width 5, height 3: 15 bytes + 1 pad per row.
      {picture(5, 3, {red, red, red, red, red, green, green, green, green, green, blue, blue, blue, blue, odd}),
       {0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0x12, 0x34, 0x56, 0,
        0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0,
        0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0}},
      // Bits above 24 in a colour do not leak into the file.
      {picture(2, 1, {0xFF000000u | odd, 0xFFFFFFFFu}), {0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF, 0, 0}},
  };
  for (const Case& c : cases) {
    const EncodeResult r = encode_bmp24(c.image);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.bytes.size(), 54 + c.pixels.size()) << c.image.width << "x" << c.image.height;
    EXPECT_EQ(Bytes(r.bytes.begin() + 54, r.bytes.end()), c.pixels) << c.image.width << "x" << c.image.height;
  }
}

TEST(BmpWriter, RefusesInconsistentOrTooLargePictures) {
  Image mismatched{3, 3, std::vector<Colour>(8)};
  EXPECT_FALSE(encode_bmp24(mismatched).ok());
  // No pixels are allocated for this: the size check comes first.
  Image huge{50000, 50000, {}};
  const EncodeResult r = encode_bmp24(huge);
  EXPECT_NE(r.error.find("too large"), std::string::npos) << r.error;
  EXPECT_TRUE(r.bytes.empty());
  EXPECT_FALSE(encode_bmp24(Image{-1, 2, {}}).ok());
}

TEST(BmpWriter, EncodingIntoAUsedBufferClearsThePadding) {
  for (const std::size_t old_size : {std::size_t{0}, std::size_t{40}, std::size_t{200}}) {
    const Image image = gradient(5, 3);
    Bytes buffer(old_size, 0xAA);
    ASSERT_EQ(encode_bmp24_into(image, buffer), "");
    EXPECT_EQ(buffer, encode_bmp24(image).bytes) << old_size;
  }
}

TEST(BmpWriter, ReaderReadsWhatWriterWrote) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {5, 3}, {6, 5}, {7, 2}, {4, 4}}) {
    const Image image = gradient(w, h);
    const DecodeResult back = decode_bmp(encode_bmp24(image).bytes);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.image.width, w);
    EXPECT_EQ(back.image.height, h);
    EXPECT_EQ(back.image.pixels, image.pixels) << w << "x" << h;
  }
}

// ---------------------------------------------------------------- reader

struct ReadCase {
  const char* name;
  FileLayout layout;
  Image expected;
};

// Indices (top row first) of a 5 x 3 picture using n colours.
std::vector<std::vector<std::uint32_t>> index_rows(int w, int h, std::uint32_t n) {
  std::vector<std::vector<std::uint32_t>> rows(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[y].push_back(static_cast<std::uint32_t>(x * 3 + y * 7) % n);
  return rows;
}

std::vector<Colour> test_palette(std::uint32_t n) {
  std::vector<Colour> palette;
  for (std::uint32_t i = 0; i < n; ++i) palette.push_back(make_colour(i * 7 % 256, 255 - i, i * 13 % 256));
  return palette;
}

ReadCase indexed_case(const char* name, std::uint32_t header, std::uint16_t bits, std::uint32_t colours_used,
                      bool top_down, int w = 5, int h = 3) {
  const std::uint32_t n = colours_used ? colours_used : (1u << bits);
  FileLayout s;
  s.header_size = header;
  s.width = w;
  s.height = top_down ? -h : h;
  s.bits = bits;
  s.palette = test_palette(n);
  s.colours_used = header == 12 ? 0 : colours_used;
  const auto rows = index_rows(w, h, n);
  s.pixel_data = bmp_test::pack_rows(rows, bits, top_down);
  Image expected{w, h, {}};
  for (const auto& row : rows)
    for (std::uint32_t i : row) expected.pixels.push_back(s.palette[i]);
  return {name, s, expected};
}

// Direct-colour case from raw values and the colours they must give.
ReadCase direct_case(const char* name, std::uint32_t header, std::uint16_t bits, std::uint32_t compression,
                     std::vector<std::uint32_t> masks, std::vector<std::vector<std::uint32_t>> rows,
                     std::vector<Colour> colours, bool top_down = false) {
  FileLayout s;
  s.header_size = header;
  s.width = static_cast<std::int32_t>(rows[0].size());
  s.height = static_cast<std::int32_t>(rows.size()) * (top_down ? -1 : 1);
  s.bits = bits;
  s.compression = compression;
  if (!masks.empty()) {
    s.masks_present = true;
    for (int i = 0; i < 3; ++i) s.masks[i] = masks[i];
  }
  s.pixel_data = bmp_test::pack_rows(rows, bits, top_down);
  return {name, s, Image{s.width, static_cast<std::int32_t>(rows.size()), std::move(colours)}};
}

std::vector<ReadCase> read_cases() {
  std::vector<ReadCase> cases;
  cases.push_back(indexed_case("1 bpp", 40, 1, 0, false, 11, 3));
  cases.push_back(indexed_case("1 bpp, 33 wide", 40, 1, 0, false, 33, 2));
  cases.push_back(indexed_case("4 bpp", 40, 4, 0, false));
  cases.push_back(indexed_case("4 bpp, 9 colours used", 40, 4, 9, false, 7, 4));
  cases.push_back(indexed_case("8 bpp", 40, 8, 0, false, 6, 5));
  cases.push_back(indexed_case("8 bpp, 20 colours used", 40, 8, 20, false));
  cases.push_back(indexed_case("8 bpp top-down", 40, 8, 0, true));
  cases.push_back(indexed_case("8 bpp core header", 12, 8, 0, false));
  cases.push_back(indexed_case("1 bpp core header", 12, 1, 0, false, 9, 2));
  cases.push_back(indexed_case("4 bpp core header", 12, 4, 0, false));
  cases.push_back(indexed_case("8 bpp V4 header", 108, 8, 0, false));
  cases.push_back(indexed_case("4 bpp V5 header top-down", 124, 4, 0, true));

  // 16 bpp without masks is 5-5-5; 5-bit values widen as (v << 3) | (v >> 2).
  cases.push_back(direct_case("16 bpp 555 default", 40, 16, 0, {},
                              {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x0000, 0x8421}},
                              {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x080808}));
  cases.push_back(direct_case("16 bpp 555 bit fields", 40, 16, 3, {0x7C00, 0x03E0, 0x001F},
                              {{0x4000, 0x0200, 0x0010}, {0x0421, 0x2108, 0x7FFF}},
                              {0x000084, 0x008400, 0x840000, 0x080808, 0x424242, 0xFFFFFF}));
  // 5-6-5: green 6-bit widens as (v << 2) | (v >> 4).
  cases.push_back(direct_case("16 bpp 565 bit fields", 40, 16, 3, {0xF800, 0x07E0, 0x001F},
                              {{0xF800, 0x07E0, 0x001F}, {0x0020, 0x0400, 0x0821}},
                              {0x0000FF, 0x00FF00, 0xFF0000, 0x000400, 0x008200, 0x080408}));
  cases.push_back(direct_case("16 bpp 565 V5 top-down", 124, 16, 3, {0xF800, 0x07E0, 0x001F},
                              {{0xF800, 0x0001}, {0x07E0, 0xFFFF}}, {0x0000FF, 0x080000, 0x00FF00, 0xFFFFFF},
                              true));
  cases.push_back(direct_case("24 bpp", 40, 24, 0, {}, {{0x0000FF, 0x00FF00, 0xFF0000}, {0x123456, 0, 0xFFFFFF}},
                              {0xFF0000, 0x00FF00, 0x0000FF, 0x563412, 0, 0xFFFFFF}));
  cases.push_back(direct_case("24 bpp core header", 12, 24, 0, {}, {{0x0000FF, 0x123456}},
                              {0xFF0000, 0x563412}));
  cases.push_back(direct_case("24 bpp top-down", 40, 24, 0, {}, {{0x0000FF}, {0xFF0000}}, {0xFF0000, 0x0000FF},
                              true));
  // 32 bpp: B, G, R, and a fourth byte that is ignored.
  cases.push_back(direct_case("32 bpp", 40, 32, 0, {}, {{0xFF0000FF, 0x7F123456}, {0x00FF0000, 0x0000FF00}},
                              {0xFF0000, 0x563412, 0x0000FF, 0x00FF00}));
  cases.push_back(direct_case("32 bpp bit fields RGBX order", 40, 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000},
                              {{0x000000FF, 0x00563412}}, {0x0000FF, 0x563412}));
  // 10-bit channels keep their top 8 bits.
  cases.push_back(direct_case("32 bpp bit fields 10-10-10", 40, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF},
                              {{0x3FF00000, 0x00080000 | 0x0000000F}}, {0x0000FF, 0x038000}));
  cases.push_back(direct_case("32 bpp V4 bit fields", 108, 32, 3, {0x00FF0000, 0x0000FF00, 0x000000FF},
                              {{0x00010203, 0xFFFFFFFF}}, {0x030201, 0xFFFFFF}));
  // Bit fields of zero give black.
  cases.push_back(direct_case("16 bpp bit fields all zero", 40, 16, 3, {0, 0, 0}, {{0x7FFF, 0x1234}}, {0, 0}));
  // A 3-bit channel widens by repeating its bits: 0b101 -> 0b10110110.
  cases.push_back(direct_case("16 bpp 3-bit channels", 40, 16, 3, {0x01C0, 0x0038, 0x0007},
                              {{0x0140, 0x0001}}, {0x0000B6, 0x240000}));
  return cases;
}

TEST(BmpReader, DecodesEveryFormat) {
  for (const ReadCase& c : read_cases()) {
    const DecodeResult r = decode_bmp(bmp_test::build_file(c.layout));
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
    EXPECT_EQ(r.image.width, c.expected.width) << c.name;
    EXPECT_EQ(r.image.height, c.expected.height) << c.name;
    EXPECT_EQ(r.image.pixels, c.expected.pixels) << c.name;
    const bmp_test::Bytes file = bmp_test::build_file(c.layout);
    const bool top_down = c.layout.height < 0;
    EXPECT_EQ(r.top_down, top_down) << c.name;
    EXPECT_EQ(bmp_stores_top_down(file.data(), 26), top_down) << c.name << ": from the first 26 bytes";
  }
  const std::uint8_t too_short[25] = {'B', 'M'};
  EXPECT_FALSE(bmp_stores_top_down(too_short, sizeof(too_short)));
}

// Run-length streams, assembled by hand. Palette entry i is test_palette(16)[i].
struct RleCase {
  const char* name;
  std::uint32_t compression;  // 1: 8-bit runs, 2: 4-bit runs
  int width, height;
  Bytes stream;
  std::vector<std::uint32_t> indices;  // expected, top row first
};

TEST(BmpReader, DecodesRunLengthData) {
  const RleCase cases[] = {
      {"8-bit encoded runs with end of line",
       1, 4, 2,
       {3, 5, 1, 6, 0, 0, /* next row up */ 4, 9, 0, 0, 0, 1},
       {9, 9, 9, 9, /* top */ 5, 5, 5, 6}},
      {"8-bit absolute run, odd length padded",
       1, 4, 1,
       {0, 3, 1, 2, 3, 0xAA, 1, 7, 0, 1},
       {1, 2, 3, 7}},
      {"8-bit absolute run, even length",
       1, 4, 1,
       {0, 4, 4, 3, 2, 1, 0, 1},
       {4, 3, 2, 1}},
      {"8-bit delta skips pixels that keep entry 0",
       1, 3, 3,
       {1, 8, 0, 2, 1, 1, 1, 9, 0, 1},
       {0, 0, 0, 0, 0, 9, 8, 0, 0}},
      {"8-bit run past the right edge is cut",
       1, 3, 2,
       {5, 4, 0, 0, 1, 2, 0, 1},
       {2, 0, 0, 4, 4, 4}},
      {"8-bit end of bitmap early leaves entry 0",
       1, 2, 2,
       {2, 3, 0, 1},
       {0, 0, 3, 3}},
      {"4-bit encoded run alternates nibbles",
       2, 5, 1,
       {5, 0x12, 0, 1},
       {1, 2, 1, 2, 1}},
      {"4-bit absolute run of 5 takes 3 bytes plus a pad byte",
       2, 6, 1,
       {0, 5, 0x34, 0x56, 0x70, 0x00, 1, 0xF0, 0, 1},
       {3, 4, 5, 6, 7, 15}},
      {"4-bit absolute run of 3 takes 2 bytes, no pad",
       2, 4, 2,
       {0, 3, 0xAB, 0xC0, 0, 0, 4, 0x11, 0, 1},
       {1, 1, 1, 1, 10, 11, 12, 0}},
  };
  for (const RleCase& c : cases) {
    FileLayout s;
    s.width = c.width;
    s.height = c.height;
    s.bits = c.compression == 1 ? 8 : 4;
    s.compression = c.compression;
    s.palette = test_palette(16);
    s.colours_used = 16;
    s.pixel_data = c.stream;
    const DecodeResult r = decode_bmp(bmp_test::build_file(s));
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
    std::vector<Colour> expected;
    for (std::uint32_t i : c.indices) expected.push_back(s.palette[i]);
    EXPECT_EQ(r.image.pixels, expected) << c.name;
  }
}

// A valid 2 x 2 8-bit file to damage.
FileLayout small_indexed() {
  FileLayout s;
  s.width = 2;
  s.height = 2;
  s.bits = 8;
  s.palette = test_palette(4);
  s.colours_used = 4;
  s.pixel_data = {0, 1, 0, 0, 2, 3, 0, 0};
  return s;
}

FileLayout small_rle(Bytes stream) {
  FileLayout s = small_indexed();
  s.compression = 1;
  s.pixel_data = std::move(stream);
  return s;
}

TEST(BmpReader, RefusesDamagedAndHostileFiles) {
  struct Case {
    const char* name;
    Bytes file;
  };
  const Bytes good = bmp_test::build_file(small_indexed());
  ASSERT_TRUE(decode_bmp(good).ok());
  const auto with = [&](auto change) {
    Bytes b = good;
    change(b);
    return b;
  };
  const auto from = [](FileLayout s, auto change) {
    change(s);
    return bmp_test::build_file(s);
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"not BM", with([](Bytes& b) { b[0] = 'P'; })},
      {"header cut", Bytes(good.begin(), good.begin() + 30)},
      {"colour table cut", Bytes(good.begin(), good.begin() + 60)},
      {"last row cut", Bytes(good.begin(), good.end() - 7)},
      {"header size 64", with([](Bytes& b) { bmp_test::put32(b, 14, 64); })},
      {"header size huge", with([](Bytes& b) { bmp_test::put32(b, 14, 0xFFFFFFF0u); })},
      {"width 0", with([](Bytes& b) { bmp_test::put32(b, 18, 0); })},
      {"negative width", with([](Bytes& b) { bmp_test::put32(b, 18, static_cast<std::uint32_t>(-2)); })},
      {"height 0", with([](Bytes& b) { bmp_test::put32(b, 22, 0); })},
      {"height INT_MIN", with([](Bytes& b) { bmp_test::put32(b, 22, 0x80000000u); })},
      {"width huge", with([](Bytes& b) { bmp_test::put32(b, 18, 0x7FFFFFFF); })},
      {"width x height over the cap", with([](Bytes& b) {
         bmp_test::put32(b, 18, 20000);
         bmp_test::put32(b, 22, 20000);
       })},
      {"rows need more bytes than the file", with([](Bytes& b) { bmp_test::put32(b, 22, 3); })},
      {"bits per pixel 7", with([](Bytes& b) { bmp_test::put16(b, 28, 7); })},
      {"bits per pixel 0", with([](Bytes& b) { bmp_test::put16(b, 28, 0); })},
      {"compression JPEG", with([](Bytes& b) { bmp_test::put32(b, 30, 4); })},
      {"compression huge", with([](Bytes& b) { bmp_test::put32(b, 30, 0xFFFFFFFFu); })},
      {"bit fields on 8 bpp", with([](Bytes& b) { bmp_test::put32(b, 30, 3); })},
      {"RLE4 on 8 bpp", with([](Bytes& b) { bmp_test::put32(b, 30, 2); })},
      {"pixel offset past the end", with([](Bytes& b) { bmp_test::put32(b, 10, 0xFFFFFFF0u); })},
      {"pixel offset inside the header", with([](Bytes& b) { bmp_test::put32(b, 10, 20); })},
      {"pixel offset leaves too few rows", with([](Bytes& b) { bmp_test::put32(b, 10, 74); })},
      {"palette index out of range", from(small_indexed(), [](FileLayout& s) { s.pixel_data[4] = 4; })},
      {"4 bpp index past a short table", from(small_indexed(), [](FileLayout& s) {
         s.bits = 4;
         s.pixel_data = {0x01, 0, 0, 0, 0x29, 0, 0, 0};
       })},
      {"core header 16 bpp", from(small_indexed(), [](FileLayout& s) {
         s.header_size = 12;
         s.bits = 16;
         s.palette.clear();
       })},
      {"top-down run-length", from(small_rle({0, 1}), [](FileLayout& s) { s.height = -2; })},
      {"run-length past the last row", from(small_rle({2, 1, 0, 0, 2, 1, 0, 0, 2, 1, 0, 1}), [](FileLayout&) {})},
      {"run-length delta past the picture", from(small_rle({0, 2, 0, 5, 0, 1}), [](FileLayout&) {})},
      {"run-length end of line past the picture", from(small_rle({0, 0, 0, 0, 0, 0, 0, 1}), [](FileLayout&) {})},
      {"run-length absolute run cut short", from(small_rle({0, 6, 1, 2}), [](FileLayout&) {})},
      {"run-length delta cut short", from(small_rle({0, 2, 1}), [](FileLayout&) {})},
      {"run-length odd trailing byte", from(small_rle({2, 1, 0}), [](FileLayout&) {})},
      {"run-length without end-of-bitmap mark", from(small_rle({2, 1, 0, 0, 2, 1}), [](FileLayout&) {})},
      {"run-length index out of range", from(small_rle({2, 9, 0, 1}), [](FileLayout&) {})},
      {"run-length absolute index out of range", from(small_rle({0, 3, 200, 1, 2, 0, 0, 1}), [](FileLayout&) {})},
  };
  for (const Case& c : cases) {
    const DecodeResult r = decode_bmp(c.file);
    EXPECT_FALSE(r.ok()) << c.name;
    EXPECT_FALSE(r.error.empty()) << c.name;
    EXPECT_TRUE(r.image.pixels.empty()) << c.name;
  }
  EXPECT_FALSE(decode_bmp(nullptr, 100).ok());
}

TEST(BmpReader, PixelCapIsAdjustable) {
  const Bytes file = bmp_test::build_file(small_indexed());
  EXPECT_TRUE(decode_bmp(file, 16).ok());  // 2 x 2 pixels of 4 bytes
  EXPECT_FALSE(decode_bmp(file, 15).ok());
}

TEST(BmpReader, ColourTableLargerThanTheBitsAllowIsCut) {
  FileLayout s = small_indexed();
  s.bits = 1;
  s.colours_used = 300;  // only 2 entries are read
  s.palette = test_palette(2);
  s.pixel_data = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
  const DecodeResult r = decode_bmp(bmp_test::build_file(s));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.pixels, (std::vector<Colour>{s.palette[1], s.palette[0], s.palette[0], s.palette[1]}));
}

TEST(BmpReader, ColourTableEndsWhereThePixelsBegin) {
  FileLayout s = small_indexed();  // four entries written, then the pixels
  s.colours_used = 200;
  s.pixel_data = {3, 1, 0, 0, 0, 2, 0, 0};
  const DecodeResult r = decode_bmp(bmp_test::build_file(s));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.pixels, (std::vector<Colour>{s.palette[0], s.palette[2], s.palette[3], s.palette[1]}));
  s.pixel_data[1] = 4;  // the first index past the table's room
  EXPECT_FALSE(decode_bmp(bmp_test::build_file(s)).ok());
}

// Inputs the fuzzer once found troublesome must now be refused or decoded.
TEST(BmpReader, FuzzRegressionsDecodeOrAreRefused) {
  namespace fs = std::filesystem;
  const fs::path folder = MURKEL_FUZZ_REGRESSIONS;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
    const FileBytes bytes = read_file_bytes(entry.path().string());
    ASSERT_TRUE(bytes.ok()) << bytes.error;
    const DecodeResult r = decode_bmp(bytes.bytes);
    EXPECT_TRUE(r.ok() || !r.error.empty()) << entry.path();
    if (r.ok()) EXPECT_EQ(r.image.pixels.size(), std::size_t(r.image.width) * r.image.height) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

// ---------------------------------------------------------------- file helpers

class BmpFileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("murkel_bmp_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::filesystem::path folder_;
};

TEST_F(BmpFileIo, WriteReplacesTheWholeFileAndReadsBack) {
  const std::string path = (folder_ / "out.bmp").string();
  const Bytes long_old(1000, 0x55);
  ASSERT_EQ(write_file_atomically(path, long_old.data(), long_old.size()), "");
  const Bytes fresh = {1, 2, 3};
  ASSERT_EQ(write_file_atomically(path, fresh.data(), fresh.size()), "");
  const FileBytes back = read_file_bytes(path);
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_EQ(back.bytes, fresh);
  EXPECT_EQ(names(), std::vector<std::string>{"out.bmp"});  // no temporary left
  ASSERT_EQ(write_file_atomically(path, nullptr, 0), "");
  EXPECT_TRUE(read_file_bytes(path).bytes.empty());
}

TEST_F(BmpFileIo, FailuresAreReportedAndLeaveNothing) {
  const Bytes data = {1, 2, 3};
  const std::string missing_folder = (folder_ / "no" / "such" / "x.bmp").string();
  EXPECT_NE(write_file_atomically(missing_folder, data.data(), data.size()), "");
  const std::string folder_target = (folder_ / "sub").string();
  std::filesystem::create_directory(folder_target);
  EXPECT_NE(write_file_atomically(folder_target, data.data(), data.size()), "");
  EXPECT_EQ(names(), std::vector<std::string>{"sub"});

  const FileBytes absent = read_file_bytes((folder_ / "absent.bmp").string());
  EXPECT_FALSE(absent.ok());
  EXPECT_NE(absent.error.find("absent.bmp"), std::string::npos) << absent.error;
  EXPECT_FALSE(read_file_bytes(folder_target).ok());

  const std::string big = (folder_ / "big.bin").string();
  ASSERT_EQ(write_file_atomically(big, data.data(), data.size()), "");
  EXPECT_FALSE(read_file_bytes(big, 2).ok());
  EXPECT_TRUE(read_file_bytes(big, 3).ok());
}

}  // namespace
