// Counter and toggle rules of the one-step undo.
#include "core/document/undo_state.h"

#include <algorithm>

namespace murkel {
namespace {

// The counter never wraps: 32767 effects and more stay "modified".
std::int16_t counter_plus(std::int16_t counter, int step) {
  return static_cast<std::int16_t>(std::clamp(counter + step, -32768, 32767));
}

}  // namespace

EditState after_effect(EditState state) {
  return EditState{counter_plus(state.modification_counter, 1), 0};
}

EditState after_undo(EditState state) {
  const int step = state.undo_toggle == 0 ? -1 : 1;
  return EditState{counter_plus(state.modification_counter, step),
                   static_cast<std::uint8_t>((state.undo_toggle + 1) % 2)};
}

}  // namespace murkel
