// Opening a bitmap file into the document, from the Open dialog or the
// command line.
#include <windows.h>
#include <commdlg.h>

#include <cstdlib>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/message_box.h"
#include "app/texts.h"
#include "canvas/canvas_window.h"
#include "canvas/scroll.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

constexpr DWORD kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // 0x1004

// The file's own size and pixel format: a 256-colour file stays one.
HBITMAP load_bitmap_file(const char* path) {
  return static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

// Gives `surface` its new bitmap and releases the one it held before.
void replace_bitmap(HDC surface, HBITMAP bitmap, HBITMAP previous) {
  SelectObject(surface, bitmap);
  if (previous != nullptr && previous != bitmap) DeleteObject(previous);
}

// The steps shared by both ways in; `bitmap` has loaded.
void load_picture(HWND canvas, HBITMAP bitmap, bool clear_previous_selection) {
  {
    ViewLock lock;
    HBITMAP previous_picture = app.loaded_bitmap;
    HBITMAP previous_undo = app.undo_bitmap;
    app.loaded_bitmap = bitmap;
    GetObjectA(app.loaded_bitmap, sizeof(BITMAP), &app.bitmap);
    app.bitmap.bmHeight = std::abs(app.bitmap.bmHeight);
    replace_bitmap(app.working_image, app.loaded_bitmap, previous_picture);
    app.undo_bitmap = CreateCompatibleBitmap(app.working_image, app.bitmap.bmWidth, app.bitmap.bmHeight);
    replace_bitmap(app.undo_image, app.undo_bitmap, previous_undo);

    // Unscrolled: the picture's top-left corner at (5, 5) on the gray.
    app.scroll_x = 0;
    app.scroll_y = 0;
    full_redraw(app.view_surface);
  }

  RECT rc{};
  GetClientRect(canvas, &rc);
  app.canvas_client = {rc.right, rc.bottom};
  set_scroll_record(canvas, SB_HORZ, app.horizontal_scroll,
                           load_scroll_record(app.bitmap.bmWidth, app.canvas_client.cx));
  set_scroll_record(canvas, SB_VERT, app.vertical_scroll,
                           load_scroll_record(app.bitmap.bmHeight, app.canvas_client.cy));

  app.modification_counter = 0;
  enable_undo_item(false);
  if (clear_previous_selection) clear_selection();
  set_document_title(false);
}

}  // namespace

void open_image() {
  app.file_dialog.Flags = kOpenDialogFlags;
  app.file_dialog_result = GetOpenFileNameA(&app.file_dialog);
  if (!app.file_dialog_result) return;

  HBITMAP bitmap = load_bitmap_file(app.file_dialog_path);
  if (bitmap == nullptr) {
    document_message(text::kCannotOpen);
    return;
  }
  lstrcpynA(app.file_name, app.file_dialog_path, kPathSize);
  load_picture(app.canvas_window, bitmap, true);
}

void open_command_line_image(HWND canvas) {
  lstrcpynA(app.file_name, app.command_line_file_name, kPathSize);
  HBITMAP bitmap = load_bitmap_file(app.file_name);
  if (bitmap == nullptr) {
    document_message(text::kCannotOpen);
    app.file_name[0] = '\0';
    return;
  }
  load_picture(canvas, bitmap, false);
}

void set_document_title(bool modified) {
  lstrcpynA(app.title_buffer, modified ? text::kTitlePrefixModified : text::kTitlePrefix, kTitleSize);
  const int used = lstrlenA(app.title_buffer);
  lstrcpynA(app.title_buffer + used, app.file_name, kTitleSize - used);
  const int named = lstrlenA(app.title_buffer);
  lstrcpynA(app.title_buffer + named, text::kTitleSuffix, kTitleSize - named);
  SetWindowTextA(app.main_window, app.title_buffer);
}

}  // namespace murkel
