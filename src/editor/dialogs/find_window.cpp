// FINDHIDE window procedure: finding what to hide in the picture's text and
// covering it in one step. The OCR runs on a worker thread over a copy of
// the picture; matching, the list and the covering run on the main thread.
#include "editor/dialogs/find_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "core/find/text_finder.h"
#include "editor/app/app_state.h"
#include "editor/app/dpi.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/app/unicode_text.h"
#include "editor/dialogs/dialog_windows.h"
#include "editor/effects/effect_commands.h"
#include "editor/view/canvas_view.h"
#include "editor/view/zoom_view.h"
#include "ocr/ocr_reader.h"

namespace murkel {
namespace {

constexpr UINT kFindFinished = WM_APP + 20;
constexpr UINT_PTR kProgressTimer = 1;
constexpr int kKinds = 5;
constexpr int kCovers = 3;

// Control handles and work fields of the window, pointed at by the window
// (GWLP_USERDATA) for as long as it lives.
struct FindState {
  HWND window = nullptr;
  HWND status_line = nullptr;
  HWND kind_boxes[kKinds]{};
  HWND words_field = nullptr;
  HWND list = nullptr;
  HWND cover_buttons[kCovers]{};
  HWND hide_button = nullptr;
  HWND cancel_button = nullptr;
  HFONT font = nullptr;  // the controls' texts, made for the window's DPI

  Image picture;                // what the worker reads: the picture as it was at the start
  OcrProgress progress;         // shared with the worker
  OcrOutcome outcome;           // the worker's, read once kFindFinished arrives
  std::thread worker;
  bool finished = false;        // the words are read (or could not be)
  std::wstring failure;         // why they could not be, for the status line
  std::vector<FoundItem> items;  // what the list shows, in its order
  bool filling = false;         // the list is being filled: its notifications change nothing
};

FindState* state_of(HWND hwnd) { return reinterpret_cast<FindState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

bool checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The picture as the working image shows it, in one transfer. False when
// there is no memory for the copy.
bool copy_picture(Image& out) {
  TransferBlock block;
  const std::int32_t width = app.bitmap.bmWidth, height = app.bitmap.bmHeight;
  if (!with_blocks_given_back([&] { return reserve_transfer_block(block, width, height, true); })) return false;
  bool copied = false;
  try {
    {
      ViewLock lock;
      BitBlt(block.dc, 0, 0, width, height, app.working_image, 0, 0, SRCCOPY);
      GdiFlush();
    }
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::int32_t y = 0; y < height; ++y)
      std::copy_n(block.pixels + static_cast<std::ptrdiff_t>(y) * block.width, width,
                  out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    swap_red_and_blue(out.pixels.data(), out.pixels.size());
    copied = true;
  } catch (const std::bad_alloc&) {
    out = Image{};
  }
  release_transfer_block(block);
  return copied;
}

FindRequest current_request(const FindState& s) {
  FindRequest request;
  FindKinds& k = request.kinds;
  bool* const kinds[kKinds] = {&k.email, &k.phone, &k.card, &k.ip, &k.key};
  for (int i = 0; i < kKinds; ++i) *kinds[i] = checked(s.kind_boxes[i]);
  wchar_t text[512]{};
  GetWindowTextW(s.words_field, text, static_cast<int>(std::size(text)));
  // Comma-separated words (the Japanese commas too); blanks around them do not count.
  std::wstring typed = text;
  std::replace_if(typed.begin(), typed.end(), [](wchar_t c) { return c == L'\u3001' || c == L'\uFF0C'; }, L',');
  const std::string words = to_utf8(typed);
  std::size_t at = 0;
  while (at <= words.size()) {
    const std::size_t comma = std::min(words.find(',', at), words.size());
    std::string word = words.substr(at, comma - at);
    word.erase(0, word.find_first_not_of(' '));
    word.erase(word.find_last_not_of(' ') + 1);
    if (find_text_error(word).empty()) request.texts.push_back(word);
    at = comma + 1;
  }
  return request;
}

const wchar_t* kind_caption(FoundKind kind) {
  const Texts& t = texts();
  switch (kind) {
    case FoundKind::email: return t.find_kinds[0];
    case FoundKind::phone: return t.find_kinds[1];
    case FoundKind::card:  return t.find_kinds[2];
    case FoundKind::ip:    return t.find_kinds[3];
    case FoundKind::key:   return t.find_kinds[4];
    case FoundKind::text:
    case FoundKind::regex: break;
  }
  return t.find_kind_word;
}

std::vector<Rect> checked_boxes(const FindState& s) {
  std::vector<Rect> boxes;
  for (std::size_t i = 0; i < s.items.size(); ++i)
    if (ListView_GetCheckState(s.list, static_cast<int>(i))) boxes.push_back(s.items[i].box);
  return boxes;
}

// The canvas outlines the checked items; Hide needs one of them.
void show_checked_items(const FindState& s) {
  std::vector<Rect> boxes = checked_boxes(s);
  EnableWindow(s.hide_button, s.finished && !boxes.empty());
  ViewLock lock;
  app.found_outlines = std::move(boxes);
  show_working_image();
}

void set_status(const FindState& s, const std::wstring& text) { SetWindowTextW(s.status_line, text.c_str()); }

// Matches the words against what the window asks for now and lists it, every item checked.
void find_again(FindState& s) {
  if (!s.finished) return;
  const Texts& t = texts();
  s.items = find_items(s.outcome.words, current_request(s), s.picture.width, s.picture.height);
  s.filling = true;
  ListView_DeleteAllItems(s.list);
  for (std::size_t i = 0; i < s.items.size(); ++i) {
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(i);
    row.pszText = const_cast<wchar_t*>(kind_caption(s.items[i].kind));
    ListView_InsertItem(s.list, &row);
    const std::wstring text = from_utf8(s.items[i].text);
    ListView_SetItemText(s.list, static_cast<int>(i), 1, const_cast<wchar_t*>(text.c_str()));
    ListView_SetCheckState(s.list, static_cast<int>(i), TRUE);
  }
  s.filling = false;
  if (!s.failure.empty()) {
    set_status(s, s.failure);
  } else if (s.items.empty()) {
    set_status(s, t.find_nothing);
  } else {
    set_status(s, t.find_found_before + std::to_wstring(s.items.size()) + t.find_found_after);
  }
  show_checked_items(s);
}

void on_find_finished(FindState& s) {
  if (s.worker.joinable()) s.worker.join();
  KillTimer(s.window, kProgressTimer);
  s.finished = true;
  if (!s.outcome.error.empty()) {
    s.failure = texts().find_failed;
    MessageBeep(MB_ICONWARNING);
  }
  find_again(s);
}

void on_progress(const FindState& s) {
  if (s.finished) return;
  set_status(s, std::wstring(texts().find_running) + L" " + std::to_wstring(s.progress.percent.load()) + L"%");
}

// Hide: the checked items covered as one step, with the covering chosen.
void hide_checked(FindState& s) {
  const std::vector<Rect> boxes = checked_boxes(s);
  if (!s.finished || boxes.empty()) return;
  const EffectCode codes[kCovers] = {EffectCode::secure_mosaic, EffectCode::secure_blur, EffectCode::fill};
  EffectCode code = codes[0];
  for (int i = 0; i < kCovers; ++i)
    if (checked(s.cover_buttons[i])) code = codes[i];
  {
    ViewLock lock;
    app.found_outlines.clear();
  }
  if (apply_effect_to(code, boxes)) {
    DestroyWindow(s.window);
  } else {
    show_checked_items(s);
  }
}

// The chosen item comes into view.
void on_item_changed(FindState& s, const NMLISTVIEW& change) {
  if (s.filling || change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= s.items.size()) return;
  if ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) show_checked_items(s);
  if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED))
    scroll_to_picture_rect(s.items[change.iItem].box);
}

// The window's own keys (IsDialogMessage): Enter presses Hide, Esc Cancel.
void on_command(FindState& s, HWND control, WORD id, WORD code) {
  if (!control && id == IDOK) {
    hide_checked(s);
  } else if (!control && id == IDCANCEL) {
    DestroyWindow(s.window);
  } else if (control == s.hide_button) {
    hide_checked(s);
  } else if (control == s.cancel_button) {
    DestroyWindow(s.window);
  } else if (control == s.words_field) {
    if (code == EN_CHANGE) find_again(s);
  } else if (std::find(std::begin(s.kind_boxes), std::end(s.kind_boxes), control) != std::end(s.kind_boxes)) {
    find_again(s);
  }
}

// The find stops before the window goes: the worker reads the window's copy.
void on_destroy(HWND hwnd) {
  FindState* s = state_of(hwnd);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (s) {
    s->progress.cancel = true;
    if (s->worker.joinable()) s->worker.join();
    if (s->font) DeleteObject(s->font);
    delete s;
  }
  app.find_window = nullptr;
  ViewLock lock;
  app.found_outlines.clear();
  show_working_image();
}

void make_controls(FindState& s) {
  const Texts& t = texts();
  HWND w = s.window;
  s.font = create_ui_font(UiFont::message, window_dpi(w));
  const HGDIOBJ font = s.font ? static_cast<HGDIOBJ>(s.font) : GetStockObject(DEFAULT_GUI_FONT);
  const auto make_control = [&](const wchar_t* class_name, const wchar_t* text, int x, int y, int width, int height,
                                DWORD style, DWORD ex_style = 0) {
    HWND control = create_control(w, class_name, text, x, y, width, height, style | WS_CHILD | WS_VISIBLE, ex_style);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  s.status_line = make_control(L"STATIC", t.find_running, 10, 10, 460, 20, 0);
  for (int i = 0; i < kKinds; ++i) {
    s.kind_boxes[i] = make_control(L"BUTTON", t.find_kinds[i], 10 + 120 * (i % 4), 36 + 24 * (i / 4), 115, 22,
                                   BS_AUTOCHECKBOX | WS_TABSTOP);
    SendMessageW(s.kind_boxes[i], BM_SETCHECK, BST_CHECKED, 0);
  }
  make_control(L"STATIC", t.find_words_label, 10, 92, 60, 20, 0);
  s.words_field = make_control(L"EDIT", L"", 70, 88, 400, 24, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
  s.list = make_control(WC_LISTVIEWW, L"", 10, 120, 460, 200,
                        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                        WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(s.list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  const UINT dpi = window_dpi(w);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = scaled(130, dpi);
  column.pszText = const_cast<wchar_t*>(t.find_column_kind);
  ListView_InsertColumn(s.list, 0, &column);
  column.cx = scaled(300, dpi);
  column.pszText = const_cast<wchar_t*>(t.find_column_text);
  ListView_InsertColumn(s.list, 1, &column);
  const wchar_t* const covers[kCovers] = {t.find_cover_mosaic, t.find_cover_blur, t.find_cover_fill};
  for (int i = 0; i < kCovers; ++i)
    s.cover_buttons[i] = make_control(L"BUTTON", covers[i], 10 + 150 * i, 328, 145, 22,
                                      BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0));
  SendMessageW(s.cover_buttons[0], BM_SETCHECK, BST_CHECKED, 0);
  make_control(L"STATIC", t.find_limits, 10, 356, 460, 20, 0);
  s.hide_button = make_control(L"BUTTON", t.find_hide, 290, 382, 85, 28, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP);
  s.cancel_button = make_control(L"BUTTON", t.cancel, 385, 382, 85, 28, BS_PUSHBUTTON | WS_TABSTOP);
  EnableWindow(s.hide_button, FALSE);
}

std::wstring missing_data_text(const std::vector<std::string>& folders) {
  std::wstring text = texts().find_no_data;
  for (const std::string& folder : folders)
    if (!folder.empty()) text += from_utf8(folder) + L"\n";
  return text;
}

}  // namespace

std::vector<std::string> language_data_folders() {
  std::vector<std::string> folders;
  wchar_t given[kPathSize]{};
  const DWORD length = GetEnvironmentVariableW(L"MURKEL_TESSDATA", given, kPathSize);
  if (length > 0 && length < kPathSize) return {to_utf8(given)};
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  const std::size_t slash = program.find_last_of(L"\\/");
  if (slash != std::wstring::npos) folders.push_back(to_utf8(program.substr(0, slash + 1) + L"tessdata"));
  return folders;
}

void open_find_window() {
  if (!picture_open() || app.find_window) return;
  const std::vector<std::string> folders = language_data_folders();
  const LanguageData data = find_language_data(folders, "eng+jpn");
  if (!data.error.empty()) {
    MessageBoxW(app.main_window, missing_data_text(folders).c_str(), texts().find_title, MB_OK | MB_ICONWARNING);
    return;
  }
  auto s = std::make_unique<FindState>();
  if (!copy_picture(s->picture)) {
    document_message(texts().not_enough_memory);
    return;
  }
  const Texts& t = texts();
  const UINT dpi = window_dpi(app.main_window);
  const int frame = system_metric(SM_CXDLGFRAME, dpi);
  const int width = scaled(480, dpi) + 2 * frame, height = scaled(420, dpi) + 2 * frame + system_metric(SM_CYCAPTION, dpi);
  // At the main window's right, so that the left of the picture stays in view.
  RECT main{};
  GetWindowRect(app.main_window, &main);
  const int x = std::max<int>(main.left, main.right - width - scaled(24, dpi));
  const int y = main.top + scaled(60, dpi);
  HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, L"FINDHIDE", t.find_title, WS_POPUP | WS_CAPTION | WS_SYSMENU, x,
                              y, width, height, app.main_window, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return;
  s->window = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s.get()));
  app.find_window = hwnd;
  make_controls(*s);
  FindState& state = *s.release();
  ShowWindow(hwnd, SW_SHOW);
  SetTimer(hwnd, kProgressTimer, 250, nullptr);
  try {
    state.worker = std::thread([&state, folder = data.folder] {
      try {
        state.outcome = read_words(state.picture.view(), folder, "eng+jpn", 2, &state.progress);
      } catch (const std::exception& e) {
        state.outcome = OcrOutcome{{}, e.what(), false};
      }
      PostMessageW(state.window, kFindFinished, 0, 0);
    });
  } catch (const std::system_error&) {
    state.outcome.error = "no thread";  // told as a picture that could not be read
    PostMessageW(hwnd, kFindFinished, 0, 0);
  }
}

void close_find_window() {
  if (app.find_window) DestroyWindow(app.find_window);
}

LRESULT CALLBACK find_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  FindState* s = state_of(hwnd);
  switch (msg) {
    case WM_COMMAND:
      if (s) on_command(*s, reinterpret_cast<HWND>(lparam), LOWORD(wparam), HIWORD(wparam));
      break;
    case WM_NOTIFY:
      if (s && reinterpret_cast<const NMHDR*>(lparam)->hwndFrom == s->list &&
          reinterpret_cast<const NMHDR*>(lparam)->code == LVN_ITEMCHANGED)
        on_item_changed(*s, *reinterpret_cast<const NMLISTVIEW*>(lparam));
      break;
    case WM_TIMER:       if (s) on_progress(*s); break;
    case kFindFinished:  if (s) on_find_finished(*s); break;
    case WM_CLOSE:       DestroyWindow(hwnd); break;
    case WM_DESTROY:     on_destroy(hwnd); break;
    default:             return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  return 0;
}

}  // namespace murkel
