// MAINWND window procedure and its handlers.
#include "editor/main/main_window.h"

#include <commctrl.h>

#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/dialogs/dialog_windows.h"
#include "editor/document/clipboard_commands.h"
#include "editor/document/document_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

void on_create(HWND hwnd) {
  app.status_bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", hwnd, 0);
  RECT rc{};
  GetClientRect(app.status_bar, &rc);
  app.status_height = rc.bottom - rc.top + 1;
  SendMessageA(app.status_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(app.status_field_edges));
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
  SendMessageA(app.status_bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(app.status_field_edges));

  apply_resize_rule();
  SendMessageA(app.status_bar, WM_SIZE, wparam, lparam);
}

// One wheel message scrolls one line step, sideways when the cursor is level
// with the canvas's horizontal bar or lower, otherwise up or down.
void on_mouse_wheel(WPARAM wparam) {
  GetCursorPos(&app.wheel_cursor);
  GetWindowRect(app.canvas_window, &app.wheel_window_rect);
  const bool sideways = app.wheel_window_rect.bottom - app.wheel_cursor.y <= app.horizontal_bar_height;
  const WORD distance = HIWORD(wparam);
  const WPARAM code = distance >= 0x8000 ? SB_LINEDOWN : SB_LINEUP;
  SendMessageA(app.canvas_window, sideways ? WM_HSCROLL : WM_VSCROLL, code, 0);
}

// Copy and Paste follow the picture and the clipboard as they are when the
// menu opens or a key is translated (both send this first).
void on_init_menu() { enable_clipboard_items(picture_open(), clipboard_has_picture()); }

// One document command at a time. The document's question boxes have no
// owner window, so the main window stays live behind them: a command or a
// dropped file meanwhile would start a second open (or save, or effect)
// inside the first. It is refused with a beep instead.
class DocumentCommand {
 public:
  explicit DocumentCommand(bool on_document)
      : refused_(on_document && app.document_command_running), held_(on_document && !refused_) {
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
  const std::string path = command.refused() ? std::string() : first_dropped_file(drop);
  DragFinish(drop);
  if (!path.empty()) open_named_file(path.c_str());
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
    case kCmdMosaicSettings:   start_dialog_thread(mosaic_settings_dialog); break;
    case kCmdBlurSettings:     start_dialog_thread(blur_settings_dialog); break;
    case kCmdScrambleSettings: start_dialog_thread(scramble_settings_dialog); break;
    case kCmdFillColour:       ChooseColorA(&app.colour_chooser); break;
    case kCmdHelp:             open_help_file(); break;
    case kCmdVersion:          start_dialog_thread(information_dialog); break;
    default:                   break;
  }
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE:     on_create(hwnd); break;
    case WM_SIZE:       on_size(hwnd, wparam, lparam); break;
    case WM_COMMAND:    dispatch_command(LOWORD(wparam)); break;
    case WM_CLOSE:      dispatch_command(kCmdExit); break;
    case WM_MOUSEWHEEL: on_mouse_wheel(wparam); break;
    case WM_INITMENU:   on_init_menu(); break;
    case WM_DROPFILES:  on_drop_files(reinterpret_cast<HDROP>(wparam)); break;
    default:            return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  return 0;
}

}  // namespace murkel
