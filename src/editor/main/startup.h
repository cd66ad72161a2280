// Start-up of the editor's windows, shared by the entry point and the tests.
#pragma once

#include <windows.h>

namespace murkel {

// Registers the three window classes, creates the main window and the canvas
// (which loads the command-line picture), attaches the menu bar and shows
// the main window. init_application_state() runs first.
void create_editor_windows(HINSTANCE instance, int show_command);

// Runs the main thread's message loop, with the editor's keys, until WM_QUIT
// (or an error).
void run_message_loop();

}  // namespace murkel
