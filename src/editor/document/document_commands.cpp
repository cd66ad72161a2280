// File menu flows: save, save as, revert and exit.
#include "editor/document/document_commands.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "core/canvas/scroll.h"
#include "core/codecs/picture_format.h"
#include "editor/app/app_state.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/document/picture_files.h"
#include "editor/document/history_commands.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

constexpr DWORD kSaveDialogFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;  // 0x0006

// The history stays: its steps now lead away from the file's content.
void mark_saved() {
  app.history.mark_saved();
  app.modification_counter = 0;
  enable_undo_item(false);
}

// The Save As filter entry (from 1) of a format; bitmap for any other.
DWORD save_filter_index(PictureFormat format) {
  switch (format) {
    case PictureFormat::png:  return 2;
    case PictureFormat::jpeg: return 3;
    case PictureFormat::tiff: return 4;
    default:                  return 1;
  }
}

}  // namespace

int save_image_as() {
  // A name of a format we only read (a GIF) is proposed as PNG, whole; one
  // that would then be too long is not proposed cut short, the user is told.
  if (app.file_dialog_path[0] != L'\0' && !writable(format_of_name(app.file_dialog_path))) {
    const std::wstring as_png = with_extension(app.file_dialog_path, L".png");
    if (as_png.size() < kPathSize) {
      as_png.copy(app.file_dialog_path, as_png.size());
      app.file_dialog_path[as_png.size()] = L'\0';
    } else {
      document_message(texts().name_too_long_as_png);
      app.file_dialog_path[0] = L'\0';
    }
  }
  app.file_dialog.Flags = kSaveDialogFlags;
  app.file_dialog.lpstrFilter = texts().save_filter;
  app.file_dialog.nFilterIndex = save_filter_index(format_of_name(app.file_dialog_path));
  app.file_dialog_result = GetSaveFileNameW(&app.file_dialog);
  if (!app.file_dialog_result) return 1;
  // The document takes the new name only once its file is written.
  if (!write_picture_file(app.file_dialog_path)) return 1;
  lstrcpynW(app.file_name, app.file_dialog_path, kPathSize);
  mark_saved();
  set_document_title(false);
  return 0;
}

void save_image() {
  if (app.file_name[0] == L'\0') {
    save_image_as();
    return;
  }
  // A file of a format we only read is saved under a name chosen in Save As.
  if (!writable(format_of_name(app.file_name))) {
    lstrcpynW(app.file_dialog_path, app.file_name, kPathSize);
    save_image_as();
    return;
  }
  if (!write_picture_file(app.file_name)) return;
  mark_saved();
  set_document_title(false);
}

// Reloads the file's current content. A picture without a file (pasted) is
// told so and stays. A file that can no longer be loaded (or none at all,
// with no picture open) is reported and the document stays as it was; a
// picture of another size gets new scroll ranges at the zoom it is shown at
// (the offset kept where it still fits).
void revert_image() {
  if (app.file_name[0] == L'\0' && picture_open()) {
    document_message(texts().no_file_to_revert);
    return;
  }
  if (app.modification_counter > 0) {
    // The version check's thread stores its answers there too: the decision takes this box's own.
    const int answer = document_message(texts().revert_prompt, MB_YESNO);
    app.last_answer = answer;
    if (answer == IDNO) return;
  }
  if (!load_picture_file(app.file_name)) return;
  start_history(true);
  mark_saved();
  picture_resized();
  set_document_title(false);
}

void exit_application() {
  if (!ask_to_save_changes()) return;
  DestroyWindow(app.main_window);
  PostQuitMessage(0);
}

}  // namespace murkel
