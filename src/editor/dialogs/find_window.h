// The Find and hide window (class FINDHIDE): reads the picture's text on a
// worker thread, lists what it finds, outlines it on the canvas, and covers
// the checked items in one step. It lives on the main thread, beside the
// main window; while it is open the document commands are refused.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace murkel {

LRESULT CALLBACK find_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Edit > Find and hide: opens the window and starts finding at once.
void open_find_window();

// Closes the window, stopping a find that runs (and waiting for it).
void close_find_window();

// The folders the OCR's language data is looked for in: the one
// MURKEL_TESSDATA names, or else tessdata beside the program. UTF-8.
std::vector<std::string> language_data_folders();

}  // namespace murkel
