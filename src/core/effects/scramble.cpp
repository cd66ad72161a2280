// Scramble: every row of the selection rotated by its own random shift.
#include <cmath>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

std::vector<Colour> scramble(const PixelView& picture, const Rect& selection, std::int32_t level,
                             RandomSource& random) {
  std::vector<Colour> block = detail::new_block(selection);
  scramble_into(picture, selection, level, random, detail::whole_block(block, selection));
  return block;
}

void scramble_into(const PixelView& picture, const Rect& selection, std::int32_t level, RandomSource& random,
                   BlockRef block) {
  if (selection.empty()) return;  // no row visited, no value drawn
  const std::int64_t w = selection.width(), h = selection.height();
  const double l = level;

  for (std::int64_t y = 0; y < h; ++y) {
    const double r = random_fraction(random);
    // Truncated toward zero (not floored); |d| <= |level| / 2.
    const auto d = static_cast<std::int64_t>(std::trunc(r * l - l / 2.0));
    const std::int64_t shift = ((d % w) + w) % w;  // output x shows source column (x + shift) mod w
    Colour* const out = block.data + y * block.stride;
    detail::read_run(picture, selection.left + shift, selection.top + y, w - shift, out);
    detail::read_run(picture, selection.left, selection.top + y, shift, out + (w - shift));
  }
}

}  // namespace murkel
