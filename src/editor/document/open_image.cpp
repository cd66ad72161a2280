// Opening a picture file into the document, from the Open dialog or the
// command line.
#include <windows.h>
#include <cderr.h>
#include <commdlg.h>

#include <cstdlib>
#include <utility>

#include "core/canvas/scroll.h"
#include "editor/app/app_state.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"
#include "editor/document/document_commands.h"
#include "editor/document/history_commands.h"
#include "editor/document/picture_files.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"
#include "editor/view/zoom_view.h"

namespace murkel {
namespace {

constexpr DWORD kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // 0x1004

// A clean document around the picture just installed, shared by every way
// in: shown unscrolled, its scroll ranges, counter 0, Undo grayed, the
// selection cleared (when one can exist), its title.
void start_document(HWND canvas, bool clear_previous_selection) {
  {
    ViewLock lock;
    // Unscrolled at 100 %: the picture's top-left corner at (5, 5) on the gray.
    app.zoom = kActualSize;
    app.scroll_x = 0;
    app.scroll_y = 0;
    full_redraw(app.view_surface);
  }
  show_zoom_field();

  RECT rc{};
  GetClientRect(canvas, &rc);
  app.canvas_client = {rc.right, rc.bottom};
  set_scroll_record(canvas, SB_HORZ, app.horizontal_scroll,
                           load_scroll_record(app.bitmap.bmWidth, app.canvas_client.cx));
  set_scroll_record(canvas, SB_VERT, app.vertical_scroll,
                           load_scroll_record(app.bitmap.bmHeight, app.canvas_client.cy));

  start_history(true);
  app.modification_counter = 0;
  enable_undo_item(false);
  if (clear_previous_selection) clear_selection();
  set_document_title(false);
}

}  // namespace

bool ask_to_save_changes() {
  if (app.modification_counter <= 0) return true;
  // The version check's thread stores its answers there too: the decision takes this box's own.
  const int answer = document_message(texts().save_prompt, MB_YESNOCANCEL);
  app.last_answer = answer;
  if (answer == IDYES) return save_image_as() != 1;
  return answer == IDNO;
}

namespace {

// Puts `bitmap` into the working image; the bitmap it held is deleted.
void install_picture(HBITMAP bitmap) {
  BITMAP record{};
  GetObjectW(bitmap, sizeof(record), &record);
  record.bmHeight = std::abs(record.bmHeight);
  // Blocks sized for a picture of another size are given back.
  if (record.bmWidth != app.bitmap.bmWidth || record.bmHeight != app.bitmap.bmHeight) release_transfer_blocks();
  ViewLock lock;
  // A surface without a picture holds a stock bitmap, which DeleteObject leaves alone.
  DeleteObject(SelectObject(app.working_image, bitmap));
  app.loaded_bitmap = bitmap;
  app.bitmap = record;
  mark_picture_changed();
}

// Installs a bitmap just made; nullptr (it could not be made) changes
// nothing and gives false. The history's steps, which may hold the old
// picture, are given back first: the new picture starts a history of its own.
bool install_new_picture(HBITMAP bitmap) {
  if (bitmap == nullptr) return false;
  app.history.forget_steps();
  install_picture(bitmap);
  return true;
}

// Decodes the file into a new bitmap and makes it the document's. False when
// that cannot be done: the picture has not changed then.
bool load_into_document(BitmapFile& file) {
  if (!file.ok()) return false;
  // Blocks sized for a picture of another size make room for the new one
  // before it is made.
  if (file.format().width != app.bitmap.bmWidth || file.format().height != app.bitmap.bmHeight) {
    release_transfer_blocks();
  }
  return install_new_picture(file.decoded_bitmap());
}

}  // namespace

bool load_picture_file(const wchar_t* path) {
  Transparency transparency;
  const bool bitmap_file = is_bitmap_file(path);
  const bool loaded = with_blocks_given_back([&] {
    // Any other picture is decoded through WIC, its transparency kept apart.
    if (!bitmap_file) return install_new_picture(load_wic_picture(path, transparency));
    BitmapFile file(path);
    return load_into_document(file);
  });
  if (!loaded) {
    document_message(texts().cannot_open);
    return false;
  }
  app.transparency = std::move(transparency);
  return true;
}

void open_image() {
  if (!ask_to_save_changes()) return;
  app.file_dialog.Flags = kOpenDialogFlags;
  app.file_dialog.lpstrFilter = texts().open_filter;
  app.file_dialog.nFilterIndex = 1;  // every picture
  app.file_dialog_result = GetOpenFileNameW(&app.file_dialog);
  if (!app.file_dialog_result) {
    // A name too long for the dialog's buffer cannot be opened under it.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) document_message(texts().cannot_open);
    return;
  }

  if (!load_picture_file(app.file_dialog_path)) return;
  lstrcpynW(app.file_name, app.file_dialog_path, kPathSize);
  start_document(app.canvas_window, true);
}

void open_named_file(const wchar_t* path) {
  if (!ask_to_save_changes()) return;
  // A name longer than the document keeps would be saved under another.
  if (lstrlenW(path) >= kPathSize) {
    document_message(texts().cannot_open);
    return;
  }
  if (!load_picture_file(path)) return;
  lstrcpynW(app.file_name, path, kPathSize);
  // Save As then proposes this file, as after the Open dialog.
  lstrcpynW(app.file_dialog_path, path, kPathSize);
  start_document(app.canvas_window, true);
}

bool open_untitled_picture(HBITMAP bitmap) {
  if (!install_new_picture(bitmap)) return false;
  app.transparency = Transparency{};
  app.file_name[0] = L'\0';
  // Save As proposes no name: the last file's would invite overwriting it.
  app.file_dialog_path[0] = L'\0';
  start_document(app.canvas_window, true);
  // Never saved: Exit and Open ask before it is dropped.
  start_history(false);
  app.modification_counter = app.history.modification_counter();
  set_document_title(true);
  return true;
}

void open_command_line_image(HWND canvas) {
  lstrcpynW(app.file_name, app.command_line_file_name, kPathSize);
  if (!load_picture_file(app.file_name)) {
    app.file_name[0] = L'\0';
    return;
  }
  start_document(canvas, false);
}

void set_document_title(bool modified) {
  wchar_t title[kTitleSize];
  lstrcpynW(title, modified ? text::kTitlePrefixModified : text::kTitlePrefix, kTitleSize);
  const int used = lstrlenW(title);
  const wchar_t* name = app.file_name[0] != L'\0' ? app.file_name : texts().untitled;
  lstrcpynW(title + used, name, kTitleSize - used);
  const int named = lstrlenW(title);
  lstrcpynW(title + named, text::kTitleSuffix, kTitleSize - named);
  // Each effect sets the title; a new one costs the window manager a round trip.
  if (lstrcmpW(title, app.title_buffer) == 0) return;
  lstrcpyW(app.title_buffer, title);
  SetWindowTextW(app.main_window, app.title_buffer);
}

}  // namespace murkel
