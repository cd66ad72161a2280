// The CANVUS child window: surfaces, painting, scrolling and selection.
#pragma once

#include <windows.h>

#include "canvas/scroll.h"

namespace murkel {

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Background, then the working image at the scroll offset, onto `target`.
void full_redraw(HDC target);

// The working image alone at the scroll offset onto the view surface (the
// background where no picture is open). Call with the view lock held.
void show_working_image();

// Selection (canvas_selection.cpp).
void on_left_button_down();
void on_left_button_up();
void clear_selection();
void draw_selection_outline();

// Sets a scroll record's range, page and position and applies it to a bar.
void set_scroll_record(HWND hwnd, int bar, SCROLLINFO& record, const ScrollRecord& values);

// The scroll ranges (and the view, where the picture now fits) after the
// canvas has taken its new size.
void apply_resize_rule();

}  // namespace murkel
