// The Edit menu's effects, applied to the selection.
#pragma once

#include <span>

#include "core/effects/effects.h"
#include "core/pixels.h"

namespace murkel {

// Runs the effect on the selection of the working image with its setting as
// it stands now, as a step of the history (which keeps what it overwrote),
// shows the result and marks the document modified. When memory runs short
// for the effect itself, tells the user and changes nothing.
void apply_effect(EffectCode code);

// The same over every rectangle of `rects`, as one step: one Undo takes them
// all back. False when memory ran short (the user is told; nothing changed).
bool apply_effect_to(EffectCode code, std::span<const Rect> rects);

// The picture becomes its selection (cut to the picture), as a step of the
// history; the selection is cleared and the view follows.
void crop_command();

}  // namespace murkel
