// The modification counter and the undo toggle, as effects and Undo move them.
#pragma once

#include <cstdint>

namespace murkel {

struct EditState {
  std::int16_t modification_counter = 0;  // unsaved changes while > 0
  std::uint8_t undo_toggle = 0;           // 1 while an Undo is in force
  // The title carries "*" exactly while this holds.
  [[nodiscard]] constexpr bool modified() const { return modification_counter > 0; }
  friend constexpr bool operator==(const EditState&, const EditState&) = default;
};

// An effect counts one change (saturating at 32767) and clears the toggle.
[[nodiscard]] EditState after_effect(EditState state);

// Undo takes the change back (toggle 0) or brings it back again (toggle 1),
// then flips the toggle.
[[nodiscard]] EditState after_undo(EditState state);

}  // namespace murkel
