// The size a PNG, JPEG, GIF or TIFF file claims, read before any decoder sees it: true sizes,
// sizes past the limit, headers hidden behind other blocks, and headers cut short or missing.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/codecs/picture_header.h"
#include "win32/picture_test_files.h"

namespace murkel {
namespace {

using picture_test::Bytes;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes be16(unsigned v) { return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}; }
Bytes le16(unsigned v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
Bytes cut(Bytes b, std::size_t size) { return b.resize(size), b; }
// `b` with `part` written over it at `at`.
Bytes patched(Bytes b, std::size_t at, const Bytes& part) {
  std::copy(part.begin(), part.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

Bytes png(std::uint32_t width, std::uint32_t height) {
  const Bytes file = picture_test::png_file(1, 1, 0, 8, {0});
  return patched(file, 16, be16(width >> 16) + be16(width) + be16(height >> 16) + be16(height));
}

// A JPEG's markers up to its frame header: `before` (whole segments) then SOFn of that size.
Bytes jpeg(const Bytes& before, unsigned width, unsigned height, std::uint8_t sof = 0xC0) {
  return Bytes{0xFF, 0xD8} + before + Bytes{0xFF, sof, 0, 17, 8} + be16(height) + be16(width) +
         Bytes{3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xDA, 0, 12};
}
Bytes segment(std::uint8_t marker, const Bytes& body) { return Bytes{0xFF, marker} + be16(body.size() + 2) + body; }

Bytes gif(unsigned width, unsigned height) {
  return picture_test::gif_file(width, height, {0, 0xFFFFFF}, -1, std::vector<unsigned>(width * height, 1));
}
// A frame descriptor at (0, 0) without a colour table, with one empty data sub-block.
Bytes gif_frame(unsigned width, unsigned height) {
  return Bytes{0x2C, 0, 0, 0, 0} + le16(width) + le16(height) + Bytes{0, 2, 0};
}
// `file` with `blocks` put before its trailer.
Bytes before_trailer(const Bytes& file, const Bytes& blocks) {
  return cut(file, file.size() - 1) + blocks + Bytes{0x3B};
}

Bytes tiff(std::uint32_t width, std::uint32_t height) { return picture_test::tiff_file(width, height, Bytes(4, 0)); }
// A big-endian TIFF whose first directory holds these (tag, type, value) entries, values of one SHORT or LONG.
Bytes big_endian_tiff(const std::vector<std::array<std::uint32_t, 3>>& entries) {
  Bytes file = {'M', 'M', 0, 42, 0, 0, 0, 8};
  file = file + be16(static_cast<unsigned>(entries.size()));
  for (const auto& [tag, type, value] : entries) {
    const Bytes field = type == 3 ? be16(value) + Bytes{0, 0} : be16(value >> 16) + be16(value);
    file = file + be16(tag) + be16(type) + Bytes{0, 0, 0, 1} + field;
  }
  return file + Bytes{0, 0, 0, 0};
}

TEST(PictureHeader, ReadsTheClaimedSizeAndRefusesWhatIsPastTheLimitOrMissing) {
  const PictureFormat kPng = PictureFormat::png, kJpeg = PictureFormat::jpeg, kGif = PictureFormat::gif,
                      kTiff = PictureFormat::tiff, kOther = PictureFormat::other;
  const Bytes exif_thumbnail =
      segment(0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xC0, 0, 17, 8, 0xFF, 0xDC, 0xFF, 0xDC});
  const Bytes text_extension = {0x21, 0xFE, 4, 0x2C, 0xFF, 0xFF, 0x3B, 0};
  const struct { const char* name; Bytes file; PictureFormat format; std::uint32_t width, height; bool ok; } cases[] = {
      {"PNG", png(5, 3), kPng, 5, 3, true},
      {"PNG at the limit", png(16384, 16384), kPng, 16384, 16384, true},
      {"PNG one row past the limit", png(16384, 16385), kPng, 0, 0, false},
      {"PNG of 65500 x 65500", png(65500, 65500), kPng, 0, 0, false},
      {"PNG of 4 G x 1", png(0xFFFFFFFF, 1), kPng, 0, 0, false},
      {"PNG of zero width", png(0, 3), kPng, 0, 0, false},
      {"PNG cut in its header", cut(png(5, 3), 23), kPng, 0, 0, false},
      {"PNG whose first chunk is not IHDR", patched(png(5, 3), 12, {'I', 'D', 'A', 'T'}), kPng, 0, 0, false},
      {"JPEG", jpeg({}, 64, 48), kJpeg, 64, 48, true},
      {"JPEG, progressive", jpeg(segment(0xC4, Bytes(20, 0xC0)), 640, 480, 0xC2), kJpeg, 640, 480, true},
      // A frame header inside an EXIF block is the thumbnail's, not the picture's.
      {"JPEG with a thumbnail's frame header in EXIF", jpeg(exif_thumbnail, 64, 48), kJpeg, 64, 48, true},
      {"JPEG with stray bytes, fill bytes, a stuffed zero", jpeg({0x12, 0xFF, 0, 0xFF, 0xFF}, 9, 7), kJpeg, 9, 7, true},
      {"JPEG of 65500 x 65500", jpeg(segment(0xE0, Bytes(14, 0)), 65500, 65500), kJpeg, 0, 0, false},
      {"JPEG of height 0 (set later by a DNL)", jpeg({}, 64, 0), kJpeg, 0, 0, false},
      {"JPEG scan before any frame header", Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2} + jpeg({}, 64, 48), kJpeg, 0, 0, false},
      {"JPEG cut in its frame header", cut(jpeg({}, 64, 48), 8), kJpeg, 0, 0, false},
      {"JPEG segment longer than the file", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 0}, kJpeg, 0, 0, false},
      {"GIF", gif(3, 2), kGif, 3, 2, true},
      {"GIF with a text extension holding frame bytes", before_trailer(gif(3, 2), text_extension), kGif, 3, 2, true},
      {"GIF of a 65535 x 65535 screen", patched(gif(3, 2), 6, le16(65535) + le16(65535)), kGif, 0, 0, false},
      {"GIF whose frame claims 65535 x 65535", patched(gif(3, 2), 38, le16(65535) + le16(65535)), kGif, 0, 0, false},
      {"GIF whose second frame claims 65535 x 65535", before_trailer(gif(3, 2), gif_frame(65535, 65535)), kGif, 0, 0,
       false},
      {"GIF cut in its screen descriptor", cut(gif(3, 2), 12), kGif, 0, 0, false},
      {"TIFF, little-endian LONG values", tiff(4, 2), kTiff, 4, 2, true},
      {"TIFF, big-endian SHORT values", big_endian_tiff({{256, 3, 300}, {257, 3, 200}}), kTiff, 300, 200, true},
      {"TIFF of 70000 x 70000", tiff(70000, 70000), kTiff, 0, 0, false},
      {"TIFF whose width stands twice, the second past the limit",
       big_endian_tiff({{256, 3, 30}, {257, 3, 20}, {256, 4, 70000000}}), kTiff, 0, 0, false},
      {"TIFF without its height", big_endian_tiff({{256, 3, 300}}), kTiff, 0, 0, false},
      {"TIFF width of another type", big_endian_tiff({{256, 5, 300}, {257, 3, 200}}), kTiff, 0, 0, false},
      {"TIFF directory past the end", patched(tiff(4, 2), 4, le32(5000)), kTiff, 0, 0, false},
      {"TIFF cut in its directory", cut(tiff(4, 2), 40), kTiff, 0, 0, false},
      // What a decoder allocates by beside the size: tiles up to the picture rounded up to 16, strips up
      // to a row (and plane) each, 4 samples besides alpha, 16 bits; their arrays within the file.
      {"TIFF of 32 x 16 tiles over 20 x 10", big_endian_tiff({{256, 3, 20}, {257, 3, 10}, {322, 3, 32}, {323, 3, 16}}),
       kTiff, 20, 10, true},
      {"TIFF of 48 x 16 tiles over 20 x 10", big_endian_tiff({{256, 3, 20}, {257, 3, 10}, {322, 3, 48}, {323, 3, 16}}),
       kTiff, 0, 0, false},
      {"TIFF of 32752 x 32752 tiles", big_endian_tiff({{256, 3, 4}, {257, 3, 2}, {322, 4, 32752}, {323, 4, 32752}}),
       kTiff, 0, 0, false},
      {"TIFF with a tile width alone", big_endian_tiff({{256, 3, 20}, {257, 3, 10}, {322, 3, 16}}), kTiff, 0, 0, false},
      {"TIFF of 8 strip byte counts for 2 rows of 4 planes", patched(tiff(4, 2), 110, le32(8)), kTiff, 4, 2, true},
      {"TIFF of 9 strip byte counts for 2 rows of 4 planes", patched(tiff(4, 2), 110, le32(9)), kTiff, 0, 0, false},
      {"TIFF whose strip byte counts lie past its end", patched(tiff(4, 2), 110, le32(99)), kTiff, 0, 0, false},
      {"TIFF whose bits per sample lie past its end", patched(tiff(4, 2), 42, le32(5000)), kTiff, 0, 0, false},
      {"TIFF of 5 samples with alpha", big_endian_tiff({{256, 3, 4}, {257, 3, 2}, {277, 3, 5}, {338, 3, 1}}), kTiff,
       4, 2, true},
      {"TIFF of 5 samples without alpha", big_endian_tiff({{256, 3, 4}, {257, 3, 2}, {277, 3, 5}}), kTiff, 0, 0, false},
      {"TIFF of 16 bits a sample", big_endian_tiff({{256, 3, 4}, {257, 3, 2}, {258, 3, 16}}), kTiff, 4, 2, true},
      {"TIFF of 32 bits a sample", big_endian_tiff({{256, 3, 4}, {257, 3, 2}, {258, 3, 32}}), kTiff, 0, 0, false},
      {"bitmap file", {'B', 'M', 0, 0}, kOther, 0, 0, false},
      {"nothing", {}, kOther, 0, 0, false},
  };
  for (const auto& c : cases) {
    const PictureHeader h = read_picture_header(c.file.data(), c.file.size());
    EXPECT_EQ(h.format, c.format) << c.name;
    EXPECT_EQ(h.ok(), c.ok) << c.name << ": " << h.error;
    if (c.ok) EXPECT_EQ(std::vector<std::uint32_t>({h.width, h.height}), std::vector({c.width, c.height})) << c.name;
  }
  // The frames of a GIF count together: two of 8 x 8 pass a limit of 150 pixels, three do not.
  const Bytes two = before_trailer(gif(8, 8), gif_frame(8, 8)), three = before_trailer(two, gif_frame(8, 8));
  EXPECT_TRUE(read_picture_header(two.data(), two.size(), 4 * 150).ok());
  EXPECT_FALSE(read_picture_header(three.data(), three.size(), 4 * 150).ok());
}

}  // namespace
}  // namespace murkel
