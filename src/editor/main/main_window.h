// The MAINWND frame: status bar, layout, wheel routing and command dispatch.
#pragma once

#include <windows.h>

namespace murkel {

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Runs one menu command; unknown identifiers do nothing.
void dispatch_command(WORD id);

// Asks the shell to open the help file; tells the user when it is missing.
void open_help_file();

}  // namespace murkel
