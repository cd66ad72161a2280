// The File menu's flows over the document.
#pragma once

#include <windows.h>

namespace murkel {

// File > Open: asks for a bitmap file and makes it the document.
void open_image();

// Loads the file named on the command line while the canvas `canvas` is
// being created (its handle is not stored yet).
void open_command_line_image(HWND canvas);

// "MURKEL_Pro─[" (or "MURKEL_Pro─[*" when modified) + file name + "]".
void set_document_title(bool modified);

// Closes the editor: destroys the main window and ends the message loop.
void exit_application();

}  // namespace murkel
