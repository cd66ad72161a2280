// File menu flows: exit (open, save and revert join here).
#include "imagefile/document_commands.h"

#include <windows.h>

#include "app/app_state.h"

namespace murkel {

void exit_application() {
  DestroyWindow(app.main_window);
  PostQuitMessage(0);
}

}  // namespace murkel
