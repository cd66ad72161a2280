// The CANVUS child window: surfaces, painting, scrolling and selection.
#pragma once

#include <windows.h>

namespace murkel {

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Selection by the left button (canvas_selection.cpp).
void on_left_button_down();
void on_left_button_up();

}  // namespace murkel
