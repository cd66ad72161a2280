// The CANVUS child window: surfaces, painting, scrolling and selection.
#pragma once

#include <windows.h>

namespace murkel {

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Selection by the left button (canvas_selection.cpp).
void on_left_button_down();
void on_left_button_up();

// The selection changed without a drag (selection_edits.cpp): Select all,
// the keys that move and size it or clear it (the kCmdMove..., kCmdSize...
// and kCmdClearSelection commands), and a drag of its outline's edges.
void select_all();
void selection_key(WORD command);
// A press within reach of the outline's edges takes hold of them (true).
bool start_edge_drag();
void follow_edge_drag();
// True when the release ended an edge drag.
bool end_edge_drag();
// The cursor over the canvas: the sizing arrows of the edges in reach.
// False where the class's cursor stays.
bool set_edge_cursor();

}  // namespace murkel
