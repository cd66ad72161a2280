// The CANVUS child window: surfaces, painting, scrolling and selection.
#pragma once

#include <windows.h>

namespace murkel {

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Background, then the working image at the scroll offset, onto `target`.
void full_redraw(HDC target);

// The scroll ranges (and the view, where the picture now fits) after the
// canvas has taken its new size.
void apply_resize_rule();

}  // namespace murkel
