// The File menu's flows over the document.
#pragma once

namespace murkel {

// Closes the editor: destroys the main window and ends the message loop.
void exit_application();

}  // namespace murkel
