// Tests of the bitmap writer's bytes, the reader on every format, refusals of
// damaged files, and the whole-file helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bmp_test_files.h"
#include "core/codecs/bmp_file_io.h"
#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "core/codecs/dib_rows.h"
#include "core/codecs/packed_dib.h"

using namespace murkel;
using bmp_test::Bytes;
using bmp_test::FileLayout;

namespace {

// A w x h picture where every pixel differs and red, green and blue differ.
Image gradient(int w, int h) {
  Image image{w, h, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(make_colour(10 + x * 20, 100 + y * 30, 200 - x - y));
  return image;
}

// Sizes of ordinary pictures show in the files below; here the sizes the header cannot hold.
TEST(BmpWriter, LayoutRefusesSizesBeyondTheHeaderFields) {
  // 3 * 46341 = 139023 -> row 139024; times 15447 rows = 2147503728 > 2^31 - 1.
  for (const auto& [w, h] : {std::pair<std::int64_t, std::int64_t>{46341, 15447}, {100000, 100000},
                             {0x7FFFFFFF, 1}, {-1, 5}, {5, -1}, {std::int64_t{1} << 32, 1}})
    EXPECT_FALSE(bmp24_layout(w, h)) << w << "x" << h;
  const std::int64_t widest = (0x7FFFFFFF - 54) / 3 / 4 * 4;  // the widest one-row picture that fits
  ASSERT_TRUE(bmp24_layout(widest, 1));
  EXPECT_EQ(bmp24_layout(widest, 1)->file_size, 54 + 3 * widest);
}

// Rows bottom-up as blue, green, red, padded with zeros: the test files' own builder gives the same file.
TEST(BmpWriter, HeadersThenRowsBottomUpBgrWithZeroPadding) {
  const Bytes headers = {'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0,
                         24, 0, 0, 0, 0, 0, 48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const EncodeResult five = encode_bmp24(gradient(5, 3));
  ASSERT_TRUE(five.ok()) << five.error;
  EXPECT_EQ(Bytes(five.bytes.begin(), five.bytes.begin() + 54), headers);
  for (const auto& [w, h] : {std::pair{0, 0}, {1, 2}, {4, 1}, {5, 3}, {6, 5}, {7, 2}})
    EXPECT_EQ(encode_bmp24(gradient(w, h)).bytes, bmp_test::make_bmp24(gradient(w, h))) << w << "x" << h;
  // Bits above 24 in a colour do not leak into the file.
  EXPECT_EQ(encode_bmp24(Image{2, 1, {0xFF123456, 0xFFFFFFFF}}).bytes, bmp_test::make_bmp24({2, 1, {0x123456, 0xFFFFFF}}));
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

TEST(BmpReader, DecodesEveryFormat) {
  for (const bmp_test::FormatCase& c : bmp_test::format_cases()) {
    const Bytes file = bmp_test::build_file(c.layout);
    const DecodeResult r = decode_bmp(file);
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
    EXPECT_EQ(r.image.width, c.layout.width) << c.name;
    EXPECT_EQ(r.image.height, std::abs(c.layout.height)) << c.name;
    EXPECT_EQ(r.image.pixels, c.expected) << c.name;
    // The same colours from rows of the file's own format (16 bits of masks other than 5-5-5 and 5-6-5 become 32).
    const BmpRowFormat f = bmp_row_format(file.data(), file.size());
    const std::uint32_t* m = c.layout.masks;
    const bool kept = !c.layout.masks_present || (m[0] == 0x7C00 && m[1] == 0x3E0) || (m[0] == 0xF800 && m[1] == 0x7E0);
    EXPECT_EQ(f.bits, c.layout.bits == 16 && !kept ? 32u : c.layout.bits) << c.name;
    Bytes rows(f.stride() * f.height, 0xAB);
    const RowTarget target{rows.data(), static_cast<std::ptrdiff_t>(f.stride())};
    ASSERT_EQ(decode_bmp_rows(file.data(), file.size(), f, target).error, "");
    EXPECT_EQ(bmp_test::row_colours(f, rows.data()), c.expected) << c.name;
    // A row at a time, the bottom one first, where rows decode alone (each
    // band writes its rows only); otherwise a band short of the picture is refused.
    Bytes banded(f.stride() * f.height, 0xAB);
    std::string error;
    for (std::size_t y = f.height; y-- > 0 && error.empty();) {
      error = decode_bmp_rows(file.data(), file.size(), f, {banded.data(), static_cast<std::ptrdiff_t>(f.stride())},
                              {y, y + 1}).error;
      EXPECT_EQ(Bytes(banded.begin(), banded.begin() + y * f.stride()), Bytes(y * f.stride(), 0xAB)) << c.name;
    }
    if (f.decodes_in_bands || f.height == 1) {
      EXPECT_EQ(error, "") << c.name;
      EXPECT_EQ(bmp_test::row_colours(f, banded.data()), c.expected) << c.name;
    } else {
      EXPECT_NE(error, "") << c.name;
    }
    BmpRowFormat changed = f;  // as if the file had changed since its headers were read
    changed.height += 1;
    EXPECT_NE(decode_bmp_rows(file.data(), file.size(), changed, {rows.data(), 0}).error, "") << c.name;
  }
}

// A valid 2 x 2 8-bit file to damage.
FileLayout small_indexed(std::uint32_t compression = 0, Bytes pixels = {0, 1, 0, 0, 2, 3, 0, 0}) {
  return FileLayout{40, 2, 2, 8, compression, bmp_test::test_palette(4), 4, false, {}, std::move(pixels)};
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
      {"width 0", patched(18, 0)},
      {"negative width", patched(18, static_cast<std::uint32_t>(-2))},
      {"height 0", patched(22, 0)},
      {"height INT_MIN", patched(22, 0x80000000u)},
      {"width huge", patched(18, 0x7FFFFFFF)},
      {"width x height over the cap", huge},
      {"rows need more bytes than the file", patched(22, 3)},
      {"bits per pixel 7", patched(28, 7, false)},
      {"compression JPEG", patched(30, 4)},
      {"bit fields on 8 bpp", patched(30, 3)},
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
    const BmpRowFormat f = bmp_row_format(c.file.data(), c.file.size());
    Bytes rows(64, 0xAB);  // room for the 2 x 2 pictures, 8 bytes a row
    const RowsDecoded whole = decode_bmp_rows(c.file.data(), c.file.size(), f, {rows.data(), 8});
    EXPECT_NE(whole.error, "") << c.name;
    EXPECT_FALSE(whole.written) << c.name;
    // A row at a time, the bottom one first: refused before any row is written too.
    std::string error;
    for (std::size_t y = 2; y-- > 0 && error.empty();)
      error = decode_bmp_rows(c.file.data(), c.file.size(), f, {rows.data(), 8}, {y, y + 1}).error;
    EXPECT_NE(error, "") << c.name;
    EXPECT_EQ(rows, Bytes(64, 0xAB)) << c.name << ": refused, yet rows were written";
  }
  EXPECT_FALSE(decode_bmp(nullptr, 100).ok());
  // Bytes that change between the check and the pass that writes (here the rows written are the
  // file's own run-length data, which the first rows wipe) are refused as rows written.
  Bytes changing = rle({2, 1, 0, 0, 2, 1, 0, 0, 0, 1});
  const BmpRowFormat format = bmp_row_format(changing.data(), changing.size());
  const RowsDecoded wiped =
      decode_bmp_rows(changing.data(), changing.size(), format, {changing.data() + changing.size() - 10, 4});
  EXPECT_TRUE(!wiped.ok() && wiped.written) << wiped.error;
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
  s.palette = bmp_test::test_palette(2);
  s.pixel_data = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
  r = decode_bmp(bmp_test::build_file(s));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.pixels, (std::vector<Colour>{s.palette[1], s.palette[0], s.palette[0], s.palette[1]}));
}

// Inputs the fuzzer once found troublesome: decoding them must neither crash
// nor trip the sanitizers, and a decoded one holds width x height pixels.
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
    if (r.ok()) EXPECT_EQ(r.image.pixels.size(), std::size_t(r.image.width) * r.image.height) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

// The clipboard's packed bitmap is a file without its 14-byte file header: every format the reader
// takes decodes so (the masks after a 40-byte header, the colour table, then the rows), and the
// 24-bit one the editor puts there decodes to its picture.
TEST(PackedDib, EveryFormatDecodesAsItsFileAndThe24BitOneRoundTrips) {
  const auto decode_packed_dib = [](const std::uint8_t* data, std::size_t size) {
    return decode_bmp(packed_dib_as_file(data, size));
  };
  for (const bmp_test::FormatCase& c : bmp_test::format_cases()) {
    const Bytes file = bmp_test::build_file(c.layout);
    const DecodeResult r = decode_packed_dib(file.data() + 14, file.size() - 14);
    EXPECT_EQ(r.image.pixels, c.expected) << c.name << ": " << r.error;
  }
  const Image picture = gradient(7, 3);  // 21 bytes a row: 3 of padding
  const EncodeResult dib = encode_packed_dib24(picture);
  ASSERT_TRUE(dib.ok());
  EXPECT_EQ((std::vector<int>{dib.bytes[0], dib.bytes[14], static_cast<int>(dib.bytes.size())}),
            (std::vector<int>{40, 24, 40 + 3 * 24}));
  EXPECT_EQ(decode_packed_dib(dib.bytes.data(), dib.bytes.size()).image.pixels, picture.pixels);
}

TEST(BmpFileIo, WritesReplaceWholeFilesAndFailuresAreReportedAndLeaveNothing) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("murkel_bmp_io_" + std::to_string(std::random_device{}()));
  fs::remove_all(folder);
  fs::create_directories(folder / "sub");
  const std::string path = (folder / "out.bmp").string();
  const Bytes long_old(1000, 0x55), fresh = {1, 2, 3};
  ASSERT_EQ(write_file_atomically(path, long_old.data(), 1000), "");
  ASSERT_EQ(write_file_atomically(path, fresh.data(), fresh.size()), "");
  EXPECT_EQ(read_file_bytes(path).bytes, fresh);
  EXPECT_FALSE(read_file_bytes(path, 2).ok());
  EXPECT_NE(write_file_atomically((folder / "no" / "x.bmp").string(), fresh.data(), 3), "");
  EXPECT_NE(write_file_atomically((folder / "sub").string(), fresh.data(), 3), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);  // no temporary left
  const FileBytes absent = read_file_bytes((folder / "absent.bmp").string());
  EXPECT_NE(absent.error.find("absent.bmp"), std::string::npos) << absent.error;
  EXPECT_FALSE(read_file_bytes((folder / "sub").string()).ok());
  fs::remove_all(folder);
}

}  // namespace

// Colours to and from the rows of a bitmap in memory, at every run length
// around the four-pixel steps of the fast paths, top-down and bottom-up:
// each pixel where the byte order says, and no byte outside the run touched.
TEST(DibRows, ReadAndWriteEveryPixelOfTheRegionAndNothingElse) {
  std::mt19937 rng(7);
  for (int bytes : {3, 4}) {
    for (int width = 1; width <= 19; ++width) {
      const int height = 3, stride = (width * bytes + 3) / 4 * 4;
      std::vector<std::uint8_t> memory(static_cast<std::size_t>(stride * height));
      for (auto& b : memory) b = static_cast<std::uint8_t>(rng());
      for (bool bottom_up : {false, true}) {
        const DibRows rows{memory.data() + (bottom_up ? (height - 1) * stride : 0), bottom_up ? -stride : stride,
                           bytes, width, height};
        const auto pixel = [&](int x, int y) { return rows.top_row + y * rows.stride + x * bytes; };
        for (int left = 0; left < width; left += 3) {
          const Rect region{left, 1, width, 3};
          SCOPED_TRACE(testing::Message() << bytes << " bytes, width " << width << ", from " << left
                                          << (bottom_up ? ", bottom-up" : ""));
          std::vector<Colour> colours(static_cast<std::size_t>(region.width() * region.height()));
          read_dib_rows(rows, region, colours.data());
          for (int y = 1; y < 3; ++y) {
            for (int x = left; x < width; ++x) {
              const std::uint8_t* p = pixel(x, y);
              ASSERT_EQ(colours[(y - 1) * region.width() + x - left], Colour(p[2] | p[1] << 8 | p[0] << 16));
            }
          }
          const std::vector<std::uint8_t> before = memory;
          for (auto& c : colours) c = rng() & 0x00FFFFFFu;
          write_dib_rows(rows, region, colours.data());
          for (int y = 0; y < height; ++y) {
            for (int i = 0; i < stride; ++i) {
              const int x = i / bytes;
              const std::size_t at = static_cast<std::size_t>(pixel(0, y) - memory.data()) + i;
              if (y == 0 || x < left || x >= width) {
                ASSERT_EQ(memory[at], before[at]) << "byte " << i << " of row " << y;
                continue;
              }
              const Colour c = colours[(y - 1) * region.width() + x - left];
              const std::uint8_t want[4] = {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 0};
              ASSERT_EQ(memory[at], want[i % bytes]) << "byte " << i << " of row " << y;
            }
          }
        }
      }
    }
  }
}
