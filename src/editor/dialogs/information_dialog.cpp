// The information dialog: four lines about the program and the check button.
#include "editor/dialogs/dialog_windows.h"

#include "editor/app/texts.h"

namespace murkel {

DWORD WINAPI information_dialog(LPVOID) {
  DialogSlots slots{};
  InformationDialog& d = slots.information;
  const Texts& t = texts();
  d.window = create_dialog_window(t.information_title, 250, 160, WS_VISIBLE, &slots);
  d.name_line = create_control(d.window, L"STATIC", t.name_line, 10, 10, 230, 20, kStaticStyle);
  d.version_line = create_control(d.window, L"STATIC", t.version_line, 10, 40, 230, 20, kStaticStyle);
  d.date_line = create_control(d.window, L"STATIC", t.date_line, 10, 70, 230, 20, kStaticStyle);
  d.author_line = create_control(d.window, L"STATIC", t.author_line, 10, 100, 230, 20, kStaticStyle);
  d.check_button = create_control(d.window, L"BUTTON", t.check_button, 10, 128, 230, 24, kPushButtonStyle);
  ShowWindow(d.window, SW_SHOW);
  return run_dialog_loop(slots);
}

}  // namespace murkel
