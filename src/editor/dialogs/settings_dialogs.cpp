// SETTINGS window procedure and the mosaic, blur and scramble settings dialogs.
#include "editor/dialogs/dialog_windows.h"

#include <string>

#include "core/text/number_text.h"
#include "editor/app/app_state.h"
#include "editor/app/dpi.h"
#include "editor/app/texts.h"
#include "editor/app/unicode_text.h"

namespace murkel {
namespace {

constexpr DWORD kFieldStyle = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_RIGHT;
constexpr DWORD kDefaultButtonStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
constexpr DWORD kRadioStyle = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;

HWND create_field(HWND parent, double value, int x, int y) {
  const std::wstring text = from_utf8(number_to_text(value));
  return create_control(parent, L"EDIT", text.c_str(), x, y, 30, 24, kFieldStyle, WS_EX_CLIENTEDGE);
}

// A field's text as far as its buffer holds, read as a number.
template <std::size_t N>
std::int32_t field_number(HWND field, wchar_t (&text)[N]) {
  SendMessageW(field, WM_GETTEXT, N, reinterpret_cast<LPARAM>(text));
  return text_to_number(to_utf8(text).c_str());
}

// The mosaic height is stored before the width; each is one store.
void mosaic_ok(MosaicDialog& d) {
  app.mosaic_cell_height = field_number(d.height_field, d.height_text);
  app.mosaic_cell_width = field_number(d.width_field, d.width_text);
  DestroyWindow(d.window);
}

// One checked button gives its number, none gives 0.
void blur_ok(BlurDialog& d) {
  for (int i = 0; i < 3; ++i) {
    d.level_states[i] = static_cast<std::uint8_t>(SendMessageW(d.level_buttons[i], BM_GETCHECK, 0, 0));
  }
  app.blur_level = static_cast<std::uint8_t>(d.level_states[0] + 2 * d.level_states[1] + 3 * d.level_states[2]);
  DestroyWindow(d.window);
}

void scramble_ok(ScrambleDialog& d) {
  app.scramble_level = static_cast<std::int16_t>(field_number(d.level_field, d.level_text));
  DestroyWindow(d.window);
}

DialogSlots* slots_of(HWND hwnd) { return reinterpret_cast<DialogSlots*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// A click on one of the window's buttons; the notification code is not
// looked at. Edits and labels match no button.
void on_command(HWND hwnd, HWND control) {
  DialogSlots* s = slots_of(hwnd);
  if (!s || !control) return;
  if (control == s->mosaic.ok_button) mosaic_ok(s->mosaic);
  else if (control == s->mosaic.cancel_button) DestroyWindow(s->mosaic.window);
  else if (control == s->information.check_button) run_version_check();
  else if (control == s->blur.ok_button) blur_ok(s->blur);
  else if (control == s->blur.cancel_button) DestroyWindow(s->blur.window);
  else if (control == s->scramble.ok_button) scramble_ok(s->scramble);
  else if (control == s->scramble.cancel_button) DestroyWindow(s->scramble.window);
}

// Moved to a monitor of another scale: the window takes the rectangle
// Windows proposes, and its controls grow or shrink with it and get a font
// made for the new DPI.
void on_dpi_changed(HWND hwnd, UINT dpi, const RECT& proposed) {
  SetWindowPos(hwnd, nullptr, proposed.left, proposed.top, proposed.right - proposed.left,
               proposed.bottom - proposed.top, SWP_NOZORDER | SWP_NOACTIVATE);
  DialogSlots* s = slots_of(hwnd);
  if (!s || s->dpi == 0 || s->dpi == dpi) return;
  const auto rescaled = [&](LONG length) { return MulDiv(length, static_cast<int>(dpi), static_cast<int>(s->dpi)); };
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rc), 2);
    MoveWindow(child, rescaled(rc.left), rescaled(rc.top), rescaled(rc.right - rc.left), rescaled(rc.bottom - rc.top),
               TRUE);
  }
  s->dpi = dpi;
  if (HFONT font = create_ui_font(UiFont::message, dpi)) {
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (s->font != nullptr) DeleteObject(s->font);
    s->font = font;
  }
}

// The outer size for a client area of width x height (at 96 DPI) at `dpi`:
// the dialog frame on every side (its horizontal measure serves the height
// too) and the caption.
SIZE outer_size(int width, int height, UINT dpi) {
  const int frame = system_metric(SM_CXDLGFRAME, dpi);
  return {scaled(width, dpi) + 2 * frame, scaled(height, dpi) + 2 * frame + system_metric(SM_CYCAPTION, dpi)};
}

}  // namespace

LRESULT CALLBACK settings_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_COMMAND:         on_command(hwnd, reinterpret_cast<HWND>(lparam)); break;
    case WM_CLOSE:           DestroyWindow(hwnd); break;
    case WM_DESTROY:         PostQuitMessage(0); break;
    case kDpiChangedMessage: on_dpi_changed(hwnd, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); break;
    default:                 return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  return 0;
}

void start_dialog_thread(LPTHREAD_START_ROUTINE routine) {
  const HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
  if (thread) CloseHandle(thread);
}

// The window is made at the system's DPI; one that opens on a monitor of
// another scale takes the size for that monitor before its controls come.
HWND create_dialog_window(const wchar_t* title, int width, int height, DWORD visible, DialogSlots* slots) {
  const SIZE assumed = outer_size(width, height, window_dpi(nullptr));
  HWND hwnd = CreateWindowExW(0, L"SETTINGS", title, WS_CAPTION | WS_SYSMENU | visible, CW_USEDEFAULT, CW_USEDEFAULT,
                              assumed.cx, assumed.cy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  slots->dpi = window_dpi(hwnd);
  slots->font = create_ui_font(UiFont::message, slots->dpi);
  const SIZE size = outer_size(width, height, slots->dpi);
  if (size.cx != assumed.cx || size.cy != assumed.cy) {
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(slots));
  return hwnd;
}

HWND create_control(HWND parent, const wchar_t* class_name, const wchar_t* text, int x, int y, int width, int height,
                    DWORD style, DWORD ex_style) {
  const UINT dpi = window_dpi(parent);
  HWND control = CreateWindowExW(ex_style, class_name, text, style, scaled(x, dpi), scaled(y, dpi), scaled(width, dpi),
                                 scaled(height, dpi), parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (const DialogSlots* s = slots_of(parent); control != nullptr && s != nullptr && s->font != nullptr) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s->font), FALSE);
  }
  return control;
}

// The window's controls are gone once its loop ends: then its font goes.
DWORD run_dialog_loop(DialogSlots& slots) {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (slots.font != nullptr) DeleteObject(slots.font);
  return 0;
}

DWORD WINAPI mosaic_settings_dialog(LPVOID) {
  DialogSlots slots{};
  MosaicDialog& d = slots.mosaic;
  const Texts& t = texts();
  d.window = create_dialog_window(t.mosaic_settings_title, 170, 110, WS_VISIBLE, &slots);
  d.height_label = create_control(d.window, L"STATIC", t.mosaic_height_label, 10, 10, 120, 20, kStaticStyle);
  d.width_label = create_control(d.window, L"STATIC", t.mosaic_width_label, 10, 40, 120, 20, kStaticStyle);
  d.height_field = create_field(d.window, app.mosaic_cell_height, 130, 8);
  d.width_field = create_field(d.window, app.mosaic_cell_width, 130, 38);
  d.ok_button = create_control(d.window, L"BUTTON", t.ok, 10, 70, 70, 30, kDefaultButtonStyle);
  d.cancel_button = create_control(d.window, L"BUTTON", t.cancel, 90, 70, 70, 30, kPushButtonStyle);
  ShowWindow(d.window, SW_SHOW);
  return run_dialog_loop(slots);
}

DWORD WINAPI blur_settings_dialog(LPVOID) {
  DialogSlots slots{};
  BlurDialog& d = slots.blur;
  const Texts& t = texts();
  d.window = create_dialog_window(t.blur_settings_title, 190, 120, 0, &slots);
  const wchar_t* const labels[3] = {t.blur_level_1, t.blur_level_2, t.blur_level_3};
  for (int i = 0; i < 3; ++i) {
    d.level_buttons[i] = create_control(d.window, L"BUTTON", labels[i], 10, 10 + 20 * i, 170, 20, kRadioStyle);
  }
  d.ok_button = create_control(d.window, L"BUTTON", t.ok, 10, 80, 80, 30, kDefaultButtonStyle);
  d.cancel_button = create_control(d.window, L"BUTTON", t.cancel, 100, 80, 80, 30, kPushButtonStyle);
  ShowWindow(d.window, SW_SHOW);
  const int level = app.blur_level;
  if (level >= 1 && level <= 3) SendMessageW(d.level_buttons[level - 1], BM_SETCHECK, BST_CHECKED, 0);
  return run_dialog_loop(slots);
}

DWORD WINAPI scramble_settings_dialog(LPVOID) {
  DialogSlots slots{};
  ScrambleDialog& d = slots.scramble;
  const Texts& t = texts();
  d.window = create_dialog_window(t.scramble_settings_title, 210, 80, 0, &slots);
  d.level_label = create_control(d.window, L"STATIC", t.scramble_level_label, 10, 10, 160, 20, kStaticStyle);
  d.level_field = create_field(d.window, app.scramble_level, 170, 8);
  d.ok_button = create_control(d.window, L"BUTTON", t.ok, 10, 40, 90, 30, kDefaultButtonStyle);
  d.cancel_button = create_control(d.window, L"BUTTON", t.cancel, 110, 40, 90, 30, kPushButtonStyle);
  ShowWindow(d.window, SW_SHOW);
  return run_dialog_loop(slots);
}

}  // namespace murkel
