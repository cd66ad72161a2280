// The orientation tag, read by a bounded walk over JPEG segments and one TIFF directory, and its eight transforms.
#include "core/codecs/orientation.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace murkel {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3, kTypeLong = 4;

class TiffBytes {
 public:
  TiffBytes(const std::uint8_t* data, std::size_t size, bool little) : data_(data), size_(size), little_(little) {}
  // Whether `count` bytes from `at` lie within the bytes.
  bool holds(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }
  std::uint16_t u16(std::size_t at) const {
    return little_ ? static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8)
                   : static_cast<std::uint16_t>(data_[at] << 8 | data_[at + 1]);
  }
  std::uint32_t u32(std::size_t at) const {
    const std::uint32_t a = u16(at), b = u16(at + 2);
    return little_ ? (b << 16 | a) : (a << 16 | b);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool little_;
};

int valid(std::uint32_t value) { return value >= 1 && value <= 8 ? static_cast<int>(value) : kUpright; }

int jpeg_orientation(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 2;  // after SOI
  while (at + 2 <= size) {
    if (data[at] != 0xFF) return kUpright;  // not a marker: damaged
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (marker == 0xDA || marker == 0xD9) return kUpright;  // image data or the end: no EXIF before it
    if (at + 2 > size) return kUpright;
    const std::size_t length = std::size_t{data[at]} << 8 | data[at + 1];
    if (length < 2 || length > size - at) return kUpright;
    static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && length >= 2 + sizeof kExif && std::memcmp(data + at + 2, kExif, sizeof kExif) == 0) {
      return tiff_orientation(data + at + 2 + sizeof kExif, length - 2 - sizeof kExif);
    }
    at += length;
  }
  return kUpright;
}

}  // namespace

int tiff_orientation(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return kUpright;
  bool little;
  if (data[0] == 'I' && data[1] == 'I') {
    little = true;
  } else if (data[0] == 'M' && data[1] == 'M') {
    little = false;
  } else {
    return kUpright;
  }
  const TiffBytes t(data, size, little);
  if (t.u16(2) != 42) return kUpright;
  const std::uint32_t directory = t.u32(4);
  if (!t.holds(directory, 2)) return kUpright;
  const std::uint16_t entries = t.u16(directory);
  // Entries the bytes do not hold are not read; a count that claims more ends there.
  for (std::size_t i = 0; i < entries; ++i) {
    const std::size_t entry = directory + 2 + 12 * i;
    if (!t.holds(entry, 12)) break;
    if (t.u16(entry) != kOrientationTag || t.u32(entry + 4) < 1) continue;
    const std::uint16_t type = t.u16(entry + 2);
    if (type == kTypeShort) return valid(t.u16(entry + 8));
    if (type == kTypeLong) return valid(t.u32(entry + 8));
    return kUpright;
  }
  return kUpright;
}

int picture_orientation(const std::uint8_t* data, std::size_t size) {
  if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) return jpeg_orientation(data, size);
  if (size >= 8 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
                    (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42))) {
    return tiff_orientation(data, size);
  }
  return kUpright;
}

template <typename T>
std::vector<T> upright_pixels(const T* stored, std::int32_t width, std::int32_t height, int orientation) {
  const std::int64_t w = width, h = height;
  std::vector<T> upright(static_cast<std::size_t>(w * h));
  // The stored index of upright pixel (x, y) is origin + x * step_x + y * step_y.
  std::int64_t origin = 0, step_x = 1, step_y = w;
  switch (orientation) {
    case 2: origin = w - 1, step_x = -1, step_y = w; break;
    case 3: origin = h * w - 1, step_x = -1, step_y = -w; break;
    case 4: origin = (h - 1) * w, step_x = 1, step_y = -w; break;
    case 5: origin = 0, step_x = w, step_y = 1; break;
    case 6: origin = (h - 1) * w, step_x = -w, step_y = 1; break;
    case 7: origin = h * w - 1, step_x = -w, step_y = -1; break;
    case 8: origin = w - 1, step_x = w, step_y = -1; break;
    default: std::copy(stored, stored + w * h, upright.begin()); return upright;
  }
  const bool swaps = orientation_swaps_sides(orientation);
  const std::int64_t out_w = swaps ? h : w, out_h = swaps ? w : h;
  // In tiles, so that the reads across stored rows stay in the cache.
  constexpr std::int64_t kTile = 64;
  for (std::int64_t ty = 0; ty < out_h; ty += kTile)
    for (std::int64_t tx = 0; tx < out_w; tx += kTile) {
      const std::int64_t x_end = std::min(tx + kTile, out_w), y_end = std::min(ty + kTile, out_h);
      for (std::int64_t y = ty; y < y_end; ++y) {
        T* out = upright.data() + y * out_w + tx;
        std::int64_t from = origin + tx * step_x + y * step_y;
        for (std::int64_t x = tx; x < x_end; ++x, from += step_x) *out++ = stored[from];
      }
    }
  return upright;
}

template std::vector<Colour> upright_pixels(const Colour*, std::int32_t, std::int32_t, int);
template std::vector<std::uint8_t> upright_pixels(const std::uint8_t*, std::int32_t, std::int32_t, int);

void make_upright(Image& image, int orientation) {
  if (orientation < 2 || orientation > 8) return;
  image.pixels = upright_pixels(image.pixels.data(), image.width, image.height, orientation);
  if (orientation_swaps_sides(orientation)) std::swap(image.width, image.height);
}

}  // namespace murkel
