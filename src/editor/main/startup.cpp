// Window classes, the main and canvas windows, the menu bar and the message loop.
#include "editor/main/startup.h"

#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/canvas/canvas_window.h"
#include "editor/dialogs/dialog_windows.h"
#include "editor/dialogs/find_window.h"
#include "editor/main/main_window.h"
#include "editor/menus/menus.h"

namespace murkel {
namespace {

constexpr int kClassIcon = 1000;
constexpr int kSmallIcon = 1001;

void register_window_class(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HBRUSH background) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kClassIcon));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(kSmallIcon));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

}  // namespace

void create_editor_windows(HINSTANCE instance, int show_command) {
  register_window_class(instance, L"MAINWND", main_window_proc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  app.main_window = CreateWindowExW(WS_EX_APPWINDOW, L"MAINWND", text::kAppTitle, WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, instance, nullptr);
  app.file_dialog.hwndOwner = app.main_window;

  // The canvas may open the command-line picture during its creation,
  // before the menu bar exists.
  register_window_class(instance, L"CANVUS", canvas_proc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  app.canvas_window = CreateWindowExW(0, L"CANVUS", L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL,
                                      0, 0, 100, 100, app.main_window, nullptr, instance, nullptr);

  register_window_class(instance, L"SETTINGS", settings_proc, GetSysColorBrush(COLOR_BTNFACE));
  register_window_class(instance, L"FINDHIDE", find_window_proc, GetSysColorBrush(COLOR_BTNFACE));

  create_menu_bar();
  SetMenu(app.main_window, app.menu_bar);
  ShowWindow(app.main_window, show_command);
}

void run_message_loop() {
  const HACCEL keys = create_accelerators();
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The Find and hide window takes its own keys (Tab, Enter, Esc, and
    // Ctrl+C in its field), before the editor's.
    if (app.find_window && IsDialogMessageW(app.find_window, &message)) continue;
    if (TranslateAcceleratorW(app.main_window, keys, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace murkel
