// The orientation tag of JPEG and TIFF bytes, and the eight transforms that turn a photo upright.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/codecs/orientation.h"

namespace murkel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void put(Bytes& b, std::size_t at, std::uint32_t v, int size, bool little) {
  for (int i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(v >> 8 * (little ? i : size - 1 - i));
}

struct Entry {
  std::uint16_t tag, type;
  std::uint32_t count, value;
};

// A TIFF structure whose first directory holds `entries` (`claimed` of them
// by its count when not 0).
Bytes tiff(bool little, std::vector<Entry> entries, std::uint16_t claimed = 0) {
  Bytes b(8 + 2 + 12 * entries.size() + 4, 0);
  b[0] = b[1] = little ? 'I' : 'M';
  put(b, 2, 42, 2, little);
  put(b, 4, 8, 4, little);
  put(b, 8, claimed != 0 ? claimed : static_cast<std::uint16_t>(entries.size()), 2, little);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t at = 10 + 12 * i;
    put(b, at, entries[i].tag, 2, little);
    put(b, at + 2, entries[i].type, 2, little);
    put(b, at + 4, entries[i].count, 4, little);
    put(b, at + 8, entries[i].value, entries[i].type == 3 ? 2 : 4, little);
  }
  return b;
}

Bytes segment(std::uint8_t marker, const Bytes& payload) {
  const auto length = static_cast<std::uint16_t>(payload.size() + 2);
  return Bytes{0xFF, marker, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)} + payload;
}

Bytes exif(const Bytes& tiff_bytes) { return segment(0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0} + tiff_bytes); }

const Bytes kSoi{0xFF, 0xD8}, kJfif = segment(0xE0, Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
const Bytes kScan = segment(0xDA, Bytes(10, 0)) + Bytes{1, 2, 3, 0xFF, 0xD9};
Bytes jpeg(const Bytes& segments) { return kSoi + kJfif + segments + kScan; }

TEST(Orientation, ReadFromJpegAndTiffBytes) {
  const Entry width{0x0100, 3, 1, 640}, six{0x0112, 3, 1, 6};
  const Bytes ii6 = tiff(true, {width, six});
  const struct { const char* name; Bytes bytes; int expected; } cases[] = {
      {"JPEG, Intel order", jpeg(exif(ii6)), 6},
      {"JPEG, Motorola order", jpeg(exif(tiff(false, {width, {0x0112, 3, 1, 8}}))), 8},
      {"TIFF, Intel order", tiff(true, {width, {0x0112, 3, 1, 3}}), 3},
      {"TIFF, Motorola order", tiff(false, {{0x0112, 3, 1, 5}}), 5},
      {"a LONG value", tiff(true, {{0x0112, 4, 1, 7}}), 7},
      {"fill bytes before a marker", kSoi + Bytes{0xFF, 0xFF} + exif(ii6) + kScan, 6},
      {"XMP in APP1 first", jpeg(segment(0xE1, Bytes{'h', 't', 't', 'p', ':', '/', '/'}) + exif(ii6)), 6},
      {"a count past the bytes: the entries held are read", tiff(true, {width, six}, 40), 6},
      // values out of range, or nothing to read: upright
      {"value 0", tiff(true, {{0x0112, 3, 1, 0}}), 1},
      {"value 9", jpeg(exif(tiff(false, {{0x0112, 3, 1, 9}}))), 1},
      {"no count", tiff(true, {{0x0112, 3, 0, 6}}), 1},
      {"another type", tiff(true, {{0x0112, 1, 1, 6}}), 1},
      {"no orientation tag", jpeg(exif(tiff(true, {width}))), 1},
      {"EXIF after the image data", kSoi + kScan + exif(ii6), 1},
      {"no EXIF", jpeg(Bytes{}), 1},
      {"a segment longer than the file", kSoi + Bytes{0xFF, 0xE1, 0x40, 0x00, 'E', 'x', 'i', 'f', 0, 0} + ii6, 1},
      {"a directory past the end", [&] { Bytes b = ii6; put(b, 4, 0xFFFFFFF0u, 4, true); return b; }(), 1},
      {"a directory cut off", Bytes(ii6.begin(), ii6.begin() + 20), 1},
      {"a bad TIFF magic", [&] { Bytes b = ii6; b[2] = 43; return b; }(), 1},
      {"PNG bytes", Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, 1},
      {"nothing", Bytes{}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(picture_orientation(c.bytes.data(), c.bytes.size()), c.expected) << c.name;
  }
}

TEST(Orientation, EightTransformsTurnThePictureUpright) {
  // Stored 3 x 2:  1 2 3 / 4 5 6
  const struct { int orientation; std::int32_t width, height; std::vector<Colour> upright; } cases[] = {
      {1, 3, 2, {1, 2, 3, 4, 5, 6}}, {2, 3, 2, {3, 2, 1, 6, 5, 4}}, {3, 3, 2, {6, 5, 4, 3, 2, 1}},
      {4, 3, 2, {4, 5, 6, 1, 2, 3}}, {5, 2, 3, {1, 4, 2, 5, 3, 6}}, {6, 2, 3, {4, 1, 5, 2, 6, 3}},
      {7, 2, 3, {6, 3, 5, 2, 4, 1}}, {8, 2, 3, {3, 6, 2, 5, 1, 4}}, {0, 3, 2, {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    Image image{3, 2, {1, 2, 3, 4, 5, 6}};
    make_upright(image, c.orientation);
    EXPECT_EQ(image.width, c.width) << c.orientation;
    EXPECT_EQ(image.height, c.height) << c.orientation;
    EXPECT_EQ(image.pixels, c.upright) << c.orientation;
  }
  // Larger than a tile: each transform undone by its inverse (6 and 8 undo each other).
  std::vector<std::uint8_t> plane(150 * 70);
  for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<std::uint8_t>(i * 7 + i / 150);
  for (int o = 1; o <= 8; ++o) {
    const int inverse = o == 6 ? 8 : o == 8 ? 6 : o;
    const std::vector<std::uint8_t> turned = upright_pixels(plane.data(), 150, 70, o);
    const std::int32_t w = orientation_swaps_sides(o) ? 70 : 150, h = orientation_swaps_sides(o) ? 150 : 70;
    EXPECT_EQ(upright_pixels(turned.data(), w, h, inverse), plane) << o;
  }
}

}  // namespace
}  // namespace murkel
