// Plain pixel types shared by the effects, the bitmap codec and both front ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace murkel {

// 0x00BBGGRR, as the window system's COLORREF.
using Colour = std::uint32_t;

// What a read outside the picture yields; it counts as 255 per component.
inline constexpr Colour kOutsideColour = 0xFFFFFFFFu;

constexpr int red_of(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int green_of(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blue_of(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Colour make_colour(int r, int g, int b) {
  return static_cast<Colour>(r & 0xFF) | (static_cast<Colour>(g & 0xFF) << 8) |
         (static_cast<Colour>(b) << 16);
}

// A 64-bit result held to the 32-bit range.
constexpr std::int32_t saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// Pictures of more than this many bytes at 4 a pixel are refused: 268 million
// pixels, 16384 x 16384.
inline constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 30;

// Whether a width x height picture stays within `max_decoded_bytes` at 4 bytes a pixel.
constexpr bool within_picture_limit(std::uint64_t width, std::uint64_t height,
                                    std::uint64_t max_decoded_bytes = kMaxDecodedBytes) {
  return width == 0 || height <= max_decoded_bytes / 4 / width;
}

// Half-open rectangle: columns left..right-1, rows top..bottom-1.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  constexpr std::int64_t width() const { return std::int64_t{right} - left; }
  constexpr std::int64_t height() const { return std::int64_t{bottom} - top; }
  constexpr bool empty() const { return right <= left || bottom <= top; }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// Read-only view of part of a picture. `region` says which picture pixels
// `data` holds (row-major, `stride` colours per row, first row = region.top).
// Pixels outside the picture read as kOutsideColour; a caller must hand in
// every picture pixel of the effect's footprint.
struct PixelView {
  const Colour* data = nullptr;
  std::ptrdiff_t stride = 0;
  Rect region;
  std::int32_t picture_width = 0;
  std::int32_t picture_height = 0;

  Colour at(std::int64_t x, std::int64_t y) const {
    if (x < 0 || y < 0 || x >= picture_width || y >= picture_height) return kOutsideColour;
    return data[(y - region.top) * stride + (x - region.left)];
  }
};

// A whole picture in memory, top row first.
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<Colour> pixels;  // width * height

  PixelView view() const {
    return PixelView{pixels.data(), width, Rect{0, 0, width, height}, width, height};
  }
};

}  // namespace murkel
