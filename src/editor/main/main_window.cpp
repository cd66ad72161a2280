// MAINWND window procedure and its handlers.
#include "editor/main/main_window.h"

#include <commctrl.h>

#include "editor/app/app_state.h"
#include "editor/app/dpi.h"
#include "editor/app/texts.h"
#include "editor/canvas/canvas_window.h"
#include "editor/dialogs/dialog_windows.h"
#include "editor/dialogs/find_window.h"
#include "editor/document/clipboard_commands.h"
#include "editor/document/document_commands.h"
#include "editor/document/history_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"
#include "editor/view/zoom_view.h"

namespace murkel {
namespace {

// The status bar takes the status font made for `dpi`, and its height (from
// that font) is measured again.
void fit_status_bar(UINT dpi) {
  if (HFONT font = create_ui_font(UiFont::status, dpi)) {
    SendMessageW(app.status_bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (app.status_font != nullptr) DeleteObject(app.status_font);
    app.status_font = font;
  }
  SendMessageW(app.status_bar, WM_SIZE, 0, 0);
  RECT rc{};
  GetClientRect(app.status_bar, &rc);
  app.status_height = rc.bottom - rc.top + 1;
}

void on_create(HWND hwnd) {
  // The field edges are given at 96 DPI.
  app.dpi = window_dpi(hwnd);
  for (int i = 0; i < 2; ++i) app.status_field_edges[i] = scaled(app.status_field_edges[i], app.dpi);
  app.status_bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, 0);
  fit_status_bar(app.dpi);
  SendMessageW(app.status_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(app.status_field_edges));
  show_zoom_field();
  DragAcceptFiles(hwnd, TRUE);
}

void on_size(HWND hwnd, WPARAM wparam, LPARAM lparam) {
  GetClientRect(hwnd, &app.client_rect);
  const int width = app.client_rect.right - app.client_rect.left;
  const int height = app.client_rect.bottom - app.client_rect.top;
  // The canvas stores its new client size from its own WM_SIZE, sent
  // during this call, before the resize rule below reads it.
  MoveWindow(app.canvas_window, 0, 0, width + 1, height + 1 - app.status_height, TRUE);

  app.status_field_edges[2] = width + app.doubled_frame_width;
  SendMessageW(app.status_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(app.status_field_edges));

  apply_resize_rule();
  SendMessageW(app.status_bar, WM_SIZE, wparam, lparam);
}

// One wheel message scrolls one line step, sideways when the cursor is level
// with the canvas's horizontal bar or lower, otherwise up or down. With Ctrl
// held it zooms about the cursor instead, a level per notch of the deltas
// added up (a touchpad sends small ones).
void on_mouse_wheel(WPARAM wparam) {
  const WORD distance = HIWORD(wparam);
  if (LOWORD(wparam) & MK_CONTROL) {
    const std::int32_t levels = wheel_zoom_levels(app.wheel_zoom_turned, static_cast<std::int16_t>(distance));
    if (levels != 0) zoom_at_cursor(levels);
    return;
  }
  app.wheel_zoom_turned = 0;
  GetCursorPos(&app.wheel_cursor);
  GetWindowRect(app.canvas_window, &app.wheel_window_rect);
  const bool sideways = app.wheel_window_rect.bottom - app.wheel_cursor.y <= app.horizontal_bar_height;
  const WPARAM code = distance >= 0x8000 ? SB_LINEDOWN : SB_LINEUP;
  SendMessageW(app.canvas_window, sideways ? WM_HSCROLL : WM_VSCROLL, code, 0);
}

// Moved to a monitor of another scale: the status fields, the status bar's
// font and height and the frame and bar measures follow, and the window
// takes the rectangle Windows proposes and is laid out again (a rectangle
// of the same size brings no WM_SIZE).
void on_dpi_changed(HWND hwnd, UINT dpi, const RECT& proposed) {
  for (int i = 0; i < 2; ++i) {
    app.status_field_edges[i] = MulDiv(app.status_field_edges[i], static_cast<int>(dpi), static_cast<int>(app.dpi));
  }
  app.dpi = dpi;
  measure_frame_and_bar(dpi);
  fit_status_bar(dpi);
  SetWindowPos(hwnd, nullptr, proposed.left, proposed.top, proposed.right - proposed.left,
               proposed.bottom - proposed.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(hwnd, &client);
  on_size(hwnd, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

// Copy and Paste, and the View menu, follow the picture and the clipboard
// as they are when the menu opens or a key is translated (both send this first).
void on_init_menu() {
  enable_clipboard_items(picture_open(), clipboard_has_picture());
  enable_find_item(picture_open());
  enable_view_items(picture_open());
  show_history_items();
  enable_select_all_item(picture_open());
  enable_crop_item(picture_open() &&
                   !cut_to_picture(app.selection, Point{app.bitmap.bmWidth, app.bitmap.bmHeight}).empty());
}

// One document command at a time. The document's question boxes have no
// owner window, so the main window stays live behind them: a command or a
// dropped file meanwhile would start a second open (or save, or effect)
// inside the first. It is refused with a beep instead, as it is while the
// Find and hide window is open (it covers the picture it read).
class DocumentCommand {
 public:
  explicit DocumentCommand(bool on_document)
      : refused_(on_document && (app.document_command_running || app.find_window)),
        held_(on_document && !refused_) {
    if (held_) app.document_command_running = true;
    if (refused_) MessageBeep(MB_ICONWARNING);
  }
  ~DocumentCommand() {
    if (held_) app.document_command_running = false;
  }
  DocumentCommand(const DocumentCommand&) = delete;
  DocumentCommand& operator=(const DocumentCommand&) = delete;
  [[nodiscard]] bool refused() const { return refused_; }

 private:
  bool refused_;
  bool held_;
};

// A file dropped on the window opens as Open opens it; of several, the first.
void on_drop_files(HDROP drop) {
  const DocumentCommand command(true);
  const std::wstring path = command.refused() ? std::wstring() : first_dropped_file(drop);
  DragFinish(drop);
  if (!path.empty()) open_named_file(path.c_str());
}

// The chooser works on a copy that the record takes only on OK: Wine's wide
// chooser writes the colour being edited into the record it is given, even
// when the user then cancels.
void choose_fill_colour() {
  CHOOSECOLORW chooser = app.colour_chooser;
  if (ChooseColorW(&chooser)) app.colour_chooser.rgbResult = chooser.rgbResult;
}

// Closing the frame stops a find first, then takes the path of Exit.
void on_close() {
  close_find_window();
  dispatch_command(kCmdExit);
}

}  // namespace

void dispatch_command(WORD id) {
  const DocumentCommand command(id < kCmdMosaicSettings);  // the File and Edit menus work on the document
  if (command.refused()) return;
  switch (id) {
    case kCmdOpen:             open_image(); break;
    case kCmdSave:             save_image(); break;
    case kCmdSaveAs:           save_image_as(); break;
    case kCmdRevert:           revert_image(); break;
    case kCmdExit:             exit_application(); break;
    case kCmdMosaic:
    case kCmdBlur:
    case kCmdDiffusion:
    case kCmdScramble:
    case kCmdFill:             apply_effect(static_cast<EffectCode>(id - kCmdMosaic)); break;
    case kCmdSecureMosaic:     apply_effect(EffectCode::secure_mosaic); break;
    case kCmdSecureBlur:       apply_effect(EffectCode::secure_blur); break;
    case kCmdUndo:             undo_command(); break;
    case kCmdCopy:             copy_image(); break;
    case kCmdPaste:            paste_image(); break;
    case kCmdFind:             open_find_window(); break;
    case kCmdCrop:             crop_command(); break;
    case kCmdStepBackward:     step_backward(); break;
    case kCmdStepForward:      step_forward(); break;
    case kCmdSelectAll:        select_all(); break;
    case kCmdMoveLeft:
    case kCmdMoveRight:
    case kCmdMoveUp:
    case kCmdMoveDown:
    case kCmdMoveLeftFar:
    case kCmdMoveRightFar:
    case kCmdMoveUpFar:
    case kCmdMoveDownFar:
    case kCmdSizeLeft:
    case kCmdSizeRight:
    case kCmdSizeUp:
    case kCmdSizeDown:
    case kCmdSizeLeftFar:
    case kCmdSizeRightFar:
    case kCmdSizeUpFar:
    case kCmdSizeDownFar:
    case kCmdClearSelection:   selection_key(id); break;
    case kCmdMosaicSettings:   start_dialog_thread(mosaic_settings_dialog); break;
    case kCmdBlurSettings:     start_dialog_thread(blur_settings_dialog); break;
    case kCmdScrambleSettings: start_dialog_thread(scramble_settings_dialog); break;
    case kCmdFillColour:       choose_fill_colour(); break;
    case kCmdHelp:             open_help_file(); break;
    case kCmdVersion:          start_dialog_thread(information_dialog); break;
    case kCmdZoomIn:
    case kCmdZoomOut:
    case kCmdActualSize:
    case kCmdFitToWindow:      zoom_command(id); break;
    default:                   break;
  }
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE:     on_create(hwnd); break;
    case WM_SIZE:       on_size(hwnd, wparam, lparam); break;
    case WM_COMMAND:    dispatch_command(LOWORD(wparam)); break;
    case WM_CLOSE:      on_close(); break;
    case WM_MOUSEWHEEL: on_mouse_wheel(wparam); break;
    case WM_INITMENU:   on_init_menu(); break;
    case WM_DROPFILES:  on_drop_files(reinterpret_cast<HDROP>(wparam)); break;
    case kDpiChangedMessage: on_dpi_changed(hwnd, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); break;
    default:            return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  return 0;
}

}  // namespace murkel
