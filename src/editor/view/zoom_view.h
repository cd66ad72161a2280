// The view's zoom: the View menu's commands, Ctrl+wheel and the status
// field that shows it.
#pragma once

#include <windows.h>

#include "core/canvas/zoom.h"

namespace murkel {

// Shows the picture at `zoom`, the picture point under canvas client point
// `keep` staying under it as far as the scroll ranges allow; a drag going on
// keeps its anchor on its picture pixel. Nothing without a picture.
void set_zoom(Zoom zoom, POINT keep);

// Zoom in, Zoom out, Actual size, Fit to window (5001-5004), about the
// canvas's centre.
void zoom_command(WORD id);

// Ctrl+wheel: `levels` in (the wheel turned away from the user) or out,
// about the point under the cursor (the centre when it is off the canvas).
void zoom_at_cursor(std::int32_t levels);

// Scrolls so that the picture rectangle `r` stands in the middle of the
// canvas, as far as the scroll ranges allow.
void scroll_to_picture_rect(const Rect& r);

// The status bar's third field: the zoom in percent.
void show_zoom_field();

}  // namespace murkel
