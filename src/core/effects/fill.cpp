// Fill: the whole selection takes one colour.
#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

std::vector<Colour> fill(const Rect& selection, Colour colour) {
  return detail::new_block(selection, colour);
}

}  // namespace murkel
