// The picture's history: every effect and crop is a step, which Undo and
// the two step commands take back and do again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "editor/app/picture_step.h"

namespace murkel {

// A new history for a picture just opened, reverted (`saved`) or pasted.
void start_history(bool saved);

// Before a change of `rects`: a step holding their bytes as they are. When
// memory is short for it even after the oldest steps are given back, the
// history is given up and nullopt returned: the change goes on without one.
// With `copy_pixels` false the picture's bytes are left for the change to
// copy (copy_area_rows) as it reaches them; the alpha's are copied at once.
std::optional<PictureStep> capture_step(std::span<const Rect> rects, bool copy_pixels = true);

// Keeps a step just made (the history is given up when memory is short for
// it), and shows the document's state: counter, title, Undo and the steps.
void record_step(std::optional<PictureStep> step);

// When a command is short of `bytes` of memory and the history holds that
// much, its oldest step is given back (true); a command that could not be
// helped by the whole history leaves it alone (false).
bool give_back_step_for(std::uint64_t bytes);

// Puts the step's other state of the picture in place and shows it.
void exchange_step(PictureStep& step);

// One step back, and again to redo when the command before was an Undo
// that went back (Ctrl+Z).
void undo_command();
// Step backward (Ctrl+Alt+Z) and Step forward (Ctrl+Shift+Z).
void step_backward();
void step_forward();

// The two step items follow the history.
void show_history_items();

}  // namespace murkel
