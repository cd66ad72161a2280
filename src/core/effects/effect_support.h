// Helpers shared by the effect sources (internal to src/core/effects).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/effects/effects.h"
#include "core/pixels.h"

namespace murkel::detail {

// W * H of a selection as a block size; 0 for an empty one. A block that
// cannot exist in memory throws std::length_error rather than wrapping.
inline std::size_t block_pixel_count(const Rect& selection) {
  if (selection.empty()) return 0;
  const std::uint64_t w = static_cast<std::uint64_t>(selection.width());
  const std::uint64_t h = static_cast<std::uint64_t>(selection.height());
  if (h > (std::uint64_t{1} << 62) / sizeof(Colour) / w) throw std::length_error("selection too large for a block");
  const std::uint64_t n = w * h;
  if (n > std::vector<Colour>().max_size()) throw std::length_error("selection too large for a block");
  return static_cast<std::size_t>(n);
}

// A W x H block for a selection, every pixel `colour`. Large blocks are placed
// so that the system can back them with large pages (a fresh 48 MB block costs
// tens of milliseconds of page faults in small pages).
std::vector<Colour> new_block(const Rect& selection, Colour colour = 0);

inline BlockRef whole_block(std::vector<Colour>& block, const Rect& selection) {
  return BlockRef{block.data(), static_cast<std::ptrdiff_t>(selection.width())};
}

// Red OR green << 8 OR blue << 16, components 0..255.
constexpr Colour compose(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); }

inline constexpr Colour kWhite = 0x00FFFFFFu;

// Pointer to picture pixel (x, y), which must lie in the picture and in view.region.
inline const Colour* pixel_pointer(const PixelView& view, std::int64_t x, std::int64_t y) {
  return view.data + (y - view.region.top) * view.stride + (x - view.region.left);
}

// Copies n pixels of row y starting at column x into dst; pixels outside the
// picture become `outside`.
inline void read_run(const PixelView& view, std::int64_t x, std::int64_t y, std::int64_t n, Colour* dst,
                     Colour outside = kOutsideColour) {
  if (n <= 0) return;
  if (y < 0 || y >= view.picture_height) {
    std::fill(dst, dst + n, outside);
    return;
  }
  const std::int64_t x0 = std::clamp<std::int64_t>(x, 0, view.picture_width);
  const std::int64_t x1 = std::clamp<std::int64_t>(x + n, 0, view.picture_width);
  if (x1 <= x0) {
    std::fill(dst, dst + n, outside);
    return;
  }
  std::fill(dst, dst + (x0 - x), outside);
  std::memcpy(dst + (x0 - x), pixel_pointer(view, x0, y), static_cast<std::size_t>(x1 - x0) * sizeof(Colour));
  std::fill(dst + (x1 - x), dst + n, outside);
}

}  // namespace murkel::detail
