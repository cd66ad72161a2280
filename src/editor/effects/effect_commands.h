// The Edit menu's commands: applying an effect to the selection and the
// one-step Undo.
#pragma once

#include <span>

#include "core/effects/effects.h"
#include "core/pixels.h"

namespace murkel {

// Keeps a copy of the picture for Undo, runs the effect on the selection of
// the working image with its setting as it stands now, shows the result and
// marks the document modified. When memory runs short, tells the user and
// changes nothing.
void apply_effect(EffectCode code);

// The same over every rectangle of `rects`, as one step: one Undo takes them
// all back. False when memory ran short (the user is told; nothing changed).
bool apply_effect_to(EffectCode code, std::span<const Rect> rects);

// Exchanges the working image and the undo copy: undo, and undo again to redo.
void undo_command();

}  // namespace murkel
