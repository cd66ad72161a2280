// Process entry: start values, the editor's windows and the main message loop.
#include <windows.h>
#include <commctrl.h>

#include "editor/app/app_state.h"
#include "editor/main/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  murkel::init_application_state();
  murkel::create_editor_windows(instance, SW_SHOWDEFAULT);
  murkel::run_message_loop();
  // Nothing is freed: the process ends here.
  ExitProcess(0);
}
