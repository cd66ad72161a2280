// Tests of the bitmap writer's bytes, the reader on every format, refusals of
// damaged files, and the whole-file helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
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

Image picture(int w, int h, std::vector<Colour> pixels) { return Image{w, h, std::move(pixels)}; }

// A w x h picture where every pixel differs and red, green and blue differ.
Image gradient(int w, int h) {
  Image image{w, h, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(make_colour(10 + x * 20, 100 + y * 30, 200 - x - y));
  return image;
}

// ---------------------------------------------------------------- writer

TEST(BmpWriter, LayoutSizesAndRefusalsBeyondTheHeaderFields) {
  const struct { std::int64_t w, h; std::uint32_t row, file; } sizes[] = {
      {0, 0, 0, 54}, {1, 3, 4, 66}, {2, 1, 8, 62}, {3, 2, 12, 78}, {4, 2, 12, 78}, {5, 3, 16, 102},
      {6, 5, 20, 154}, {7, 1, 24, 78}, {1000, 0, 3000, 54}};
  for (const auto& c : sizes) {
    const auto layout = bmp24_layout(c.w, c.h);
    ASSERT_TRUE(layout) << c.w << "x" << c.h;
    EXPECT_EQ(layout->row_size, c.row) << c.w << "x" << c.h;
    EXPECT_EQ(layout->image_size, c.row * c.h) << c.w << "x" << c.h;
    EXPECT_EQ(layout->file_size, c.file) << c.w << "x" << c.h;
  }
  // 3 * 46341 = 139023 -> row 139024; times 15447 rows = 2147503728 > 2^31 - 1.
  for (const auto& [w, h] : {std::pair<std::int64_t, std::int64_t>{46341, 15447}, {100000, 100000},
                             {0x7FFFFFFF, 1}, {-1, 5}, {5, -1}, {std::int64_t{1} << 32, 1}})
    EXPECT_FALSE(bmp24_layout(w, h)) << w << "x" << h;
  const std::int64_t widest = (0x7FFFFFFF - 54) / 3 / 4 * 4;  // the widest one-row picture that fits
  ASSERT_TRUE(bmp24_layout(widest, 1));
  EXPECT_EQ(bmp24_layout(widest, 1)->file_size, 54 + 3 * widest);
}

TEST(BmpWriter, HeadersThenRowsBottomUpBgrWithZeroPadding) {
  const Colour red = 0x0000FF, blue = 0xFF0000, green = 0x00FF00, odd = 0x123456;
  const Bytes headers = {'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0,
                         24, 0, 0, 0, 0, 0, 48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const EncodeResult five = encode_bmp24(gradient(5, 3));
  ASSERT_TRUE(five.ok()) << five.error;
  EXPECT_EQ(Bytes(five.bytes.begin(), five.bytes.begin() + 54), headers);
  const struct { Image image; Bytes pixels; } cases[] = {  // the pixels: everything after byte 54
      {picture(0, 0, {}), {}},
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
  for (const auto& c : cases) {
    const EncodeResult r = encode_bmp24(c.image);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.bytes.size(), 54 + c.pixels.size()) << c.image.width << "x" << c.image.height;
    EXPECT_EQ(u32_at(r.bytes, 2), r.bytes.size());
    EXPECT_EQ(Bytes(r.bytes.begin() + 54, r.bytes.end()), c.pixels) << c.image.width << "x" << c.image.height;
  }
  // Into a used buffer, longer or shorter: the same file, padding cleared.
  for (const std::size_t old_size : {std::size_t{40}, std::size_t{200}}) {
    Bytes buffer(old_size, 0xAA);
    ASSERT_EQ(encode_bmp24_into(gradient(5, 3), buffer), "");
    EXPECT_EQ(buffer, five.bytes) << old_size;
  }
}

TEST(BmpWriter, RefusesInconsistentOrTooLargePictures) {
  EXPECT_FALSE(encode_bmp24(Image{3, 3, std::vector<Colour>(8)}).ok());
  EXPECT_FALSE(encode_bmp24(Image{-1, 2, {}}).ok());
  // No pixels are allocated for this: the size check comes first.
  const EncodeResult r = encode_bmp24(Image{50000, 50000, {}});
  EXPECT_NE(r.error.find("too large"), std::string::npos) << r.error;
  EXPECT_TRUE(r.bytes.empty());
}

// ---------------------------------------------------------------- reader

std::vector<Colour> test_palette(std::uint32_t n) {
  std::vector<Colour> palette;
  for (std::uint32_t i = 0; i < n; ++i) palette.push_back(make_colour(i * 7 % 256, 255 - i, i * 13 % 256));
  return palette;
}

struct ReadCase {
  std::string name;
  FileLayout layout;
  std::vector<Colour> expected;  // top row first
};

// A file of raw pixel values (top row first) and the colours they must give; height < 0 stores it top-down.
ReadCase direct(const char* name, std::uint32_t header, std::uint16_t bits, std::vector<std::uint32_t> masks,
                std::vector<std::vector<std::uint32_t>> rows, std::vector<Colour> colours, int sign = 1) {
  FileLayout s{header, static_cast<std::int32_t>(rows[0].size()), sign * static_cast<std::int32_t>(rows.size()), bits,
               masks.empty() ? 0u : 3u};
  s.masks_present = !masks.empty();
  std::copy(masks.begin(), masks.end(), s.masks);
  s.pixel_data = bmp_test::pack_rows(rows, bits, sign < 0);
  return {name, s, std::move(colours)};
}

std::vector<ReadCase> read_cases() {
  std::vector<ReadCase> cases;
  // Colour tables: header size, bits, entries used (0: all), width, height (< 0: top-down).
  const struct { std::uint32_t header, bits, used; int w, h; } tables[] = {
      {40, 1, 0, 11, 3}, {40, 1, 0, 33, 2}, {40, 4, 9, 7, 4}, {40, 8, 0, 6, 5},  {40, 8, 20, 5, 3},
      {40, 8, 0, 5, -3}, {12, 8, 0, 5, 3},  {12, 1, 0, 9, 2}, {12, 4, 0, 5, 3},  {108, 8, 0, 5, 3}, {124, 4, 0, 5, -3}};
  for (const auto& t : tables) {
    const std::uint32_t n = t.used ? t.used : 1u << t.bits;
    std::vector<std::vector<std::uint32_t>> rows(std::abs(t.h));
    std::vector<Colour> expected;
    FileLayout s{t.header, t.w, t.h, static_cast<std::uint16_t>(t.bits), 0, test_palette(n), t.header == 12 ? 0 : t.used};
    for (int y = 0; y < std::abs(t.h); ++y)
      for (int x = 0; x < t.w; ++x) {
        rows[y].push_back(static_cast<std::uint32_t>(x * 3 + y * 7) % n);
        expected.push_back(s.palette[rows[y].back()]);
      }
    s.pixel_data = bmp_test::pack_rows(rows, t.bits, t.h < 0);
    cases.push_back({std::to_string(t.bits) + " bpp, header " + std::to_string(t.header) + ", " +
                         std::to_string(t.w) + "x" + std::to_string(t.h), s, expected});
  }
  // 16 bpp without masks is 5-5-5; 5-bit values widen as (v << 3) | (v >> 2), 6-bit as (v << 2) | (v >> 4).
  cases.push_back(direct("16 bpp 555", 40, 16, {}, {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x0000, 0x8421}},
                         {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x080808}));
  cases.push_back(direct("16 bpp 555 bit fields", 40, 16, {0x7C00, 0x03E0, 0x001F},
                         {{0x4000, 0x0200, 0x0010}, {0x0421, 0x2108, 0x7FFF}},
                         {0x000084, 0x008400, 0x840000, 0x080808, 0x424242, 0xFFFFFF}));
  cases.push_back(direct("16 bpp 565 bit fields", 40, 16, {0xF800, 0x07E0, 0x001F},
                         {{0xF800, 0x07E0, 0x001F}, {0x0020, 0x0400, 0x0821}},
                         {0x0000FF, 0x00FF00, 0xFF0000, 0x000400, 0x008200, 0x080408}));
  cases.push_back(direct("16 bpp 565 V5 top-down", 124, 16, {0xF800, 0x07E0, 0x001F}, {{0xF800, 0x0001}, {0x07E0, 0xFFFF}},
                         {0x0000FF, 0x080000, 0x00FF00, 0xFFFFFF}, -1));
  cases.push_back(direct("24 bpp", 40, 24, {}, {{0x0000FF, 0x00FF00, 0xFF0000}, {0x123456, 0, 0xFFFFFF}},
                         {0xFF0000, 0x00FF00, 0x0000FF, 0x563412, 0, 0xFFFFFF}));
  cases.push_back(direct("24 bpp core header", 12, 24, {}, {{0x0000FF, 0x123456}}, {0xFF0000, 0x563412}));
  cases.push_back(direct("24 bpp top-down", 40, 24, {}, {{0x0000FF}, {0xFF0000}}, {0xFF0000, 0x0000FF}, -1));
  // 32 bpp: B, G, R, and a fourth byte that is ignored.
  cases.push_back(direct("32 bpp", 40, 32, {}, {{0xFF0000FF, 0x7F123456}, {0x00FF0000, 0x0000FF00}},
                         {0xFF0000, 0x563412, 0x0000FF, 0x00FF00}));
  cases.push_back(direct("32 bpp RGBX bit fields", 40, 32, {0x000000FF, 0x0000FF00, 0x00FF0000},
                         {{0x000000FF, 0x00563412}}, {0x0000FF, 0x563412}));
  // 10-bit channels keep their top 8 bits.
  cases.push_back(direct("32 bpp 10-10-10 bit fields", 40, 32, {0x3FF00000, 0x000FFC00, 0x000003FF},
                         {{0x3FF00000, 0x00080000 | 0x0000000F}}, {0x0000FF, 0x038000}));
  cases.push_back(direct("32 bpp V4 bit fields", 108, 32, {0x00FF0000, 0x0000FF00, 0x000000FF},
                         {{0x00010203, 0xFFFFFFFF}}, {0x030201, 0xFFFFFF}));
  cases.push_back(direct("16 bpp zero bit fields give black", 40, 16, {0, 0, 0}, {{0x7FFF, 0x1234}}, {0, 0}));
  // A 3-bit channel widens by repeating its bits: 0b101 -> 0b10110110.
  cases.push_back(direct("16 bpp 3-bit channels", 40, 16, {0x01C0, 0x0038, 0x0007}, {{0x0140, 0x0001}},
                         {0x0000B6, 0x240000}));
  return cases;
}

TEST(BmpReader, DecodesEveryFormat) {
  for (const ReadCase& c : read_cases()) {
    const Bytes file = bmp_test::build_file(c.layout);
    const DecodeResult r = decode_bmp(file);
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
    EXPECT_EQ(r.image.width, c.layout.width) << c.name;
    EXPECT_EQ(r.image.height, std::abs(c.layout.height)) << c.name;
    EXPECT_EQ(r.image.pixels, c.expected) << c.name;
    EXPECT_EQ(r.top_down, c.layout.height < 0) << c.name;
    EXPECT_EQ(bmp_stores_top_down(file.data(), 26), c.layout.height < 0) << c.name << ": from the first 26 bytes";
  }
  const std::uint8_t too_short[25] = {'B', 'M'};
  EXPECT_FALSE(bmp_stores_top_down(too_short, sizeof(too_short)));
}

// Run-length streams, assembled by hand. Palette entry i is test_palette(16)[i].
TEST(BmpReader, DecodesRunLengthData) {
  const struct {
    const char* name;
    std::uint16_t bits;  // 8 or 4
    int width, height;
    Bytes stream;
    std::vector<std::uint32_t> indices;  // expected, top row first
  } cases[] = {
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
  for (const auto& c : cases) {
    const FileLayout s{40, c.width, c.height, c.bits, c.bits == 8 ? 1u : 2u, test_palette(16), 16, false, {}, c.stream};
    const DecodeResult r = decode_bmp(bmp_test::build_file(s));
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
    std::vector<Colour> expected;
    for (std::uint32_t i : c.indices) expected.push_back(s.palette[i]);
    EXPECT_EQ(r.image.pixels, expected) << c.name;
  }
}

// A valid 2 x 2 8-bit file to damage.
FileLayout small_indexed(std::uint32_t compression = 0, Bytes pixels = {0, 1, 0, 0, 2, 3, 0, 0}) {
  return FileLayout{40, 2, 2, 8, compression, test_palette(4), 4, false, {}, std::move(pixels)};
}

TEST(BmpReader, RefusesDamagedAndHostileFiles) {
  const Bytes good = bmp_test::build_file(small_indexed());
  ASSERT_TRUE(decode_bmp(good).ok());
  // The good file with the header field at `at` set to `value` (two bytes when `wide` is false).
  const auto patched = [&](std::size_t at, std::uint32_t value, bool wide = true) {
    Bytes b = good;
    wide ? bmp_test::put32(b, at, value) : bmp_test::put16(b, at, value);
    return b;
  };
  const auto rle = [](Bytes stream) { return bmp_test::build_file(small_indexed(1, std::move(stream))); };
  FileLayout four_bits = small_indexed(0, {0x01, 0, 0, 0, 0x29, 0, 0, 0}), core16 = small_indexed(),
             top_down_rle = small_indexed(1, {0, 1});
  four_bits.bits = 4;
  core16.header_size = 12, core16.bits = 16, core16.palette.clear();
  top_down_rle.height = -2;
  Bytes huge = patched(18, 20000);
  bmp_test::put32(huge, 22, 20000);
  const struct { const char* name; Bytes file; } cases[] = {
      {"empty", {}},
      {"not BM", patched(0, 'P', false)},
      {"header cut", Bytes(good.begin(), good.begin() + 30)},
      {"colour table cut", Bytes(good.begin(), good.begin() + 60)},
      {"last row cut", Bytes(good.begin(), good.end() - 7)},
      {"header size 64", patched(14, 64)},
      {"header size huge", patched(14, 0xFFFFFFF0u)},
      {"width 0", patched(18, 0)},
      {"negative width", patched(18, static_cast<std::uint32_t>(-2))},
      {"height 0", patched(22, 0)},
      {"height INT_MIN", patched(22, 0x80000000u)},
      {"width huge", patched(18, 0x7FFFFFFF)},
      {"width x height over the cap", huge},
      {"rows need more bytes than the file", patched(22, 3)},
      {"bits per pixel 7", patched(28, 7, false)},
      {"bits per pixel 0", patched(28, 0, false)},
      {"compression JPEG", patched(30, 4)},
      {"compression huge", patched(30, 0xFFFFFFFFu)},
      {"bit fields on 8 bpp", patched(30, 3)},
      {"RLE4 on 8 bpp", patched(30, 2)},
      {"pixel offset past the end", patched(10, 0xFFFFFFF0u)},
      {"pixel offset inside the header", patched(10, 20)},
      {"pixel offset leaves too few rows", patched(10, 74)},
      {"palette index out of range", bmp_test::build_file(small_indexed(0, {0, 1, 0, 0, 4, 3, 0, 0}))},
      {"4 bpp index past a short table", bmp_test::build_file(four_bits)},
      {"core header 16 bpp", bmp_test::build_file(core16)},
      {"top-down run-length", bmp_test::build_file(top_down_rle)},
      {"run-length past the last row", rle({2, 1, 0, 0, 2, 1, 0, 0, 2, 1, 0, 1})},
      {"run-length delta past the picture", rle({0, 2, 0, 5, 0, 1})},
      {"run-length end of line past the picture", rle({0, 0, 0, 0, 0, 0, 0, 1})},
      {"run-length absolute run cut short", rle({0, 6, 1, 2})},
      {"run-length delta cut short", rle({0, 2, 1})},
      {"run-length odd trailing byte", rle({2, 1, 0})},
      {"run-length without end-of-bitmap mark", rle({2, 1, 0, 0, 2, 1})},
      {"run-length index out of range", rle({2, 9, 0, 1})},
      {"run-length absolute index out of range", rle({0, 3, 200, 1, 2, 0, 0, 1})},
  };
  for (const auto& c : cases) {
    const DecodeResult r = decode_bmp(c.file);
    EXPECT_FALSE(r.ok()) << c.name;
    EXPECT_FALSE(r.error.empty()) << c.name;
    EXPECT_TRUE(r.image.pixels.empty()) << c.name;
  }
  EXPECT_FALSE(decode_bmp(nullptr, 100).ok());
}

TEST(BmpReader, PixelCapAndColourTableBounds) {
  FileLayout s = small_indexed();
  EXPECT_TRUE(decode_bmp(bmp_test::build_file(s), 16).ok());  // 2 x 2 pixels of 4 bytes
  EXPECT_FALSE(decode_bmp(bmp_test::build_file(s), 15).ok());
  // Entries past the table's room (the pixels begin after four) are not read.
  s.colours_used = 200;
  s.pixel_data = {3, 1, 0, 0, 0, 2, 0, 0};
  DecodeResult r = decode_bmp(bmp_test::build_file(s));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.pixels, (std::vector<Colour>{s.palette[0], s.palette[2], s.palette[3], s.palette[1]}));
  s.pixel_data[1] = 4;
  EXPECT_FALSE(decode_bmp(bmp_test::build_file(s)).ok());
  // More entries than the bits can index: only two are read at 1 bit per pixel.
  s.bits = 1;
  s.colours_used = 300;
  s.palette = test_palette(2);
  s.pixel_data = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
  r = decode_bmp(bmp_test::build_file(s));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.pixels, (std::vector<Colour>{s.palette[1], s.palette[0], s.palette[0], s.palette[1]}));
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

TEST(BmpFileIo, WritesReplaceWholeFilesAndFailuresAreReportedAndLeaveNothing) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("murkel_bmp_io_" + std::to_string(std::random_device{}()));
  fs::remove_all(folder);
  fs::create_directories(folder / "sub");
  const auto names = [&] {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::string path = (folder / "out.bmp").string();
  const Bytes long_old(1000, 0x55), fresh = {1, 2, 3};
  ASSERT_EQ(write_file_atomically(path, long_old.data(), long_old.size()), "");
  ASSERT_EQ(write_file_atomically(path, fresh.data(), fresh.size()), "");
  EXPECT_EQ(read_file_bytes(path).bytes, fresh);
  EXPECT_FALSE(read_file_bytes(path, 2).ok());
  EXPECT_NE(write_file_atomically((folder / "no" / "x.bmp").string(), fresh.data(), 3), "");
  EXPECT_NE(write_file_atomically((folder / "sub").string(), fresh.data(), 3), "");
  EXPECT_EQ(names(), (std::vector<std::string>{"out.bmp", "sub"}));  // no temporary left
  const FileBytes absent = read_file_bytes((folder / "absent.bmp").string());
  EXPECT_NE(absent.error.find("absent.bmp"), std::string::npos) << absent.error;
  EXPECT_FALSE(read_file_bytes((folder / "sub").string()).ok());
  fs::remove_all(folder);
}

}  // namespace
