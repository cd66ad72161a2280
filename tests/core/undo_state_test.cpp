// The modification counter and undo toggle through effects and Undo.
#include <gtest/gtest.h>

#include "effects/undo_state.h"

namespace murkel {
namespace {

TEST(UndoState, CounterAndToggleThroughEffectsAndUndo) {
  const struct {
    EditState start;
    const char* steps;  // E: an effect, U: Undo
    EditState end;
  } cases[] = {
      {{0, 0}, "E", {1, 0}},
      {{0, 0}, "EU", {0, 1}},     // undo of the only change: unmodified
      {{0, 0}, "EUU", {1, 0}},    // redo: the change counts again
      {{0, 0}, "EUEU", {0, 1}},   // A, undo, B, undo: back before both
      {{0, 0}, "EEU", {1, 1}},    // two effects, one undone: still modified
      {{5, 1}, "E", {6, 0}},      // an effect while undone clears the toggle
      {{32766, 0}, "EE", {32767, 0}},  // saturates instead of wrapping negative
      {{32767, 1}, "U", {32767, 0}},
  };
  for (const auto& c : cases) {
    EditState state = c.start;
    for (const char* step = c.steps; *step != '\0'; ++step) state = *step == 'E' ? after_effect(state) : after_undo(state);
    EXPECT_EQ(state.modification_counter, c.end.modification_counter) << c.start.modification_counter << " " << c.steps;
    EXPECT_EQ(state.undo_toggle, c.end.undo_toggle) << c.start.modification_counter << " " << c.steps;
    EXPECT_EQ(state.modified(), c.end.modification_counter > 0);
  }
}

}  // namespace
}  // namespace murkel
