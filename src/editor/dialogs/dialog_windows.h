// The SETTINGS window class: the three settings dialogs and the information
// dialog, each on a dialog thread of its own, all served by settings_proc.
#pragma once

#include <windows.h>

#include <cstdint>

namespace murkel {

// Control handle slots and work fields of one dialog window. Each dialog
// thread keeps its own record for as long as its window lives, and the
// window points at it (GWLP_USERDATA), so that with two windows of one kind
// open, each window's buttons act on that window and read its own fields.
struct MosaicDialog {
  HWND window, height_label, width_label, height_field, width_field, ok_button, cancel_button;
  wchar_t height_text[4];
  wchar_t width_text[4];
};
struct InformationDialog {
  HWND window, name_line, version_line, date_line, author_line, check_button;
};
struct BlurDialog {
  HWND window, level_buttons[3], ok_button, cancel_button;
  std::uint8_t level_states[3];
};
struct ScrambleDialog {
  HWND window, level_label, level_field, ok_button, cancel_button;
  wchar_t level_text[5];
};
// Only the slots of the window's own kind are filled; the rest stay empty.
// The layout is at the DPI of the window's monitor.
struct DialogSlots {
  MosaicDialog mosaic;
  InformationDialog information;
  BlurDialog blur;
  ScrambleDialog scramble;
  UINT dpi;
  HFONT font;  // the controls' texts, made for the dialog's DPI
};

LRESULT CALLBACK settings_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Dialog thread routines: build the window, run its message loop, return 0.
DWORD WINAPI mosaic_settings_dialog(LPVOID);
DWORD WINAPI blur_settings_dialog(LPVOID);
DWORD WINAPI scramble_settings_dialog(LPVOID);
DWORD WINAPI information_dialog(LPVOID);

// Starts a dialog routine on a new thread; nobody waits for it.
void start_dialog_thread(LPTHREAD_START_ROUTINE routine);

// Window-building helpers shared by the dialogs.
inline constexpr DWORD kStaticStyle = WS_CHILD | WS_VISIBLE;
inline constexpr DWORD kPushButtonStyle = WS_CHILD | WS_VISIBLE;
// Positions and sizes are given at 96 DPI and grow with the window's DPI.
// A SETTINGS window whose client area is width x height; it points at `slots`.
HWND create_dialog_window(const wchar_t* title, int width, int height, DWORD visible, DialogSlots* slots);
// A child with control identifier 0.
HWND create_control(HWND parent, const wchar_t* class_name, const wchar_t* text, int x, int y, int width, int height,
                    DWORD style, DWORD ex_style = 0);
// The dialog thread's message loop, without dialog keyboard handling.
DWORD run_dialog_loop(DialogSlots& slots);

// The latest-version check, on the calling dialog's thread.
void run_version_check();

}  // namespace murkel
