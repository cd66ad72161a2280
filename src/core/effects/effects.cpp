// Footprints of the effects and writing a block back into a picture.
#include "core/effects/effects.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/effects/effect_support.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace murkel {

namespace detail {

std::vector<Colour> new_block(const Rect& selection, Colour colour) {
  const std::size_t count = block_pixel_count(selection);
  std::vector<Colour> block;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  if (count * sizeof(Colour) >= 4 * kLargePage) {
    block.reserve(count);  // not touched yet: advise before the first write faults the pages in
    const auto begin = reinterpret_cast<std::uintptr_t>(block.data());
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + count * sizeof(Colour)) & ~(kLargePage - 1);
    if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#endif
  block.assign(count, colour);
  return block;
}

}  // namespace detail

namespace {

// Smallest multiple of `step` (>= 1) that is >= extent (>= 0).
constexpr std::int64_t round_up(std::int64_t extent, std::int64_t step) { return (extent + step - 1) / step * step; }

// The selection grown right and down to whole cells of cw x ch.
Rect grown_to_cells(const Rect& selection, std::int64_t cw, std::int64_t ch) {
  if (selection.empty()) return selection;
  return Rect{selection.left, selection.top, saturate(selection.left + round_up(selection.width(), cw)),
              saturate(selection.top + round_up(selection.height(), ch))};
}

}  // namespace

Rect mosaic_footprint(const Rect& selection, std::int32_t cell_width, std::int32_t cell_height) {
  if (cell_width < 1 || cell_height < 1) return selection;  // mosaic returns the selection as it is
  return grown_to_cells(selection, cell_width, cell_height);
}

Rect blur_footprint(const Rect& selection) {
  if (selection.empty()) return selection;
  return Rect{selection.left, selection.top, saturate(std::int64_t{selection.right} + 1),
              saturate(std::int64_t{selection.bottom} + 1)};
}

Rect diffusion_footprint(const Rect& selection) { return grown_to_cells(selection, 16, 16); }

Rect scramble_footprint(const Rect& selection) { return selection; }

Rect picture_footprint(EffectCode code, const Rect& selection, std::int32_t cell_width, std::int32_t cell_height,
                       std::int32_t picture_width, std::int32_t picture_height) {
  Rect footprint;
  switch (code) {
    case EffectCode::mosaic:    footprint = mosaic_footprint(selection, cell_width, cell_height); break;
    case EffectCode::blur:      footprint = blur_footprint(selection); break;
    case EffectCode::diffusion: footprint = diffusion_footprint(selection); break;
    case EffectCode::scramble:  footprint = scramble_footprint(selection); break;
    case EffectCode::secure_mosaic:
    case EffectCode::secure_blur: footprint = secure_footprint(selection); break;
    case EffectCode::fill:      return Rect{};
  }
  const Rect cut{std::max(footprint.left, 0), std::max(footprint.top, 0), std::min(footprint.right, picture_width),
                 std::min(footprint.bottom, picture_height)};
  return cut.empty() ? Rect{} : cut;
}

void swap_red_and_blue(Colour* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Colour c = pixels[i];
    pixels[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  }
}

void put_block(Image& image, const Rect& selection, const std::vector<Colour>& block) {
  if (selection.empty() || block.size() != detail::block_pixel_count(selection)) return;
  const std::int64_t w = selection.width();
  const std::int64_t x0 = std::max<std::int64_t>(selection.left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(selection.right, image.width);
  const std::int64_t y0 = std::max<std::int64_t>(selection.top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(selection.bottom, image.height);
  if (x1 <= x0 || y1 <= y0) return;
  for (std::int64_t y = y0; y < y1; ++y) {
    std::memcpy(image.pixels.data() + y * image.width + x0,
                block.data() + (y - selection.top) * w + (x0 - selection.left),
                static_cast<std::size_t>(x1 - x0) * sizeof(Colour));
  }
}

}  // namespace murkel
