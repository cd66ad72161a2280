// Help > Help: the old help file when one lies beside the program, otherwise
// the HTML help of the interface language that ships beside it, in a web
// browser.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "editor/app/texts.h"
#include "editor/main/main_window.h"

namespace murkel {
namespace {

// The folder of murkel.exe, with its trailing backslash: the help ships
// there, whatever the current folder is.
std::wstring program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size()) {
    path.resize(path.size() * 2);
  }
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

bool file_exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool shell_opened(const std::wstring& file, const wchar_t* parameters, int show) {
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters, nullptr, show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// The system's browser for web pages. Wine prefixes often have none for a
// local .html file, and there Wine's browser setting takes the page.
bool browser_opened(const std::wstring& page) {
  const std::wstring quoted = L"\"" + page + L"\"";
  return shell_opened(page, nullptr, SW_SHOWNORMAL) || shell_opened(L"winebrowser.exe", quoted.c_str(), SW_SHOWNORMAL);
}

void tell_cannot_show(const std::wstring& path) {
  const std::wstring message = texts().help_cannot_show + path;
  MessageBoxW(nullptr, message.c_str(), text::kAppTitle, MB_OK);
}

// The HTML page of the interface language; the Japanese one where that is
// all there is.
std::wstring html_help_page(const std::wstring& folder) {
  const std::wstring page = folder + texts().html_help_file;
  const std::wstring japanese = folder + texts_of(Language::japanese).html_help_file;
  return file_exists(page) || !file_exists(japanese) ? page : japanese;
}

}  // namespace

void open_help_file() {
  const std::wstring folder = program_folder();
  const std::wstring old_help = folder + text::kHelpFile, html_help = html_help_page(folder);
  const bool has_old_help = file_exists(old_help);
  // Today's Windows has no viewer for the old format: then the HTML help serves.
  if (has_old_help && shell_opened(old_help, nullptr, SW_SHOW)) return;
  if (file_exists(html_help)) {
    if (!browser_opened(html_help)) tell_cannot_show(html_help);
  } else if (has_old_help) {
    tell_cannot_show(old_help);
  } else {
    MessageBoxW(nullptr, texts().help_not_found, text::kAppTitle, MB_OK);
  }
}

}  // namespace murkel
