// The MAINWND frame: status bar, layout, wheel routing and command dispatch.
#pragma once

#include <windows.h>

namespace murkel {

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Runs one menu command; unknown identifiers do nothing.
void dispatch_command(WORD id);

// Opens the help beside the program (help_file.cpp); tells the user when there is none.
void open_help_file();

}  // namespace murkel
