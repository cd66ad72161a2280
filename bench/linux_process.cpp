// Reading Linux's /proc from a Windows program under Wine.
#include "linux_process.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace murkel {
namespace {

std::string read_text(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text(4096, '\0');
  DWORD got = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size() - 1), &got, nullptr);
  CloseHandle(file);
  text.resize(got);
  return text;
}

}  // namespace

std::string linux_process_folder(const std::function<bool(const std::string& command_line)>& matches) {
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  std::string found;
  while (search != INVALID_HANDLE_VALUE && found.empty()) {
    const std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
    if (entry.cFileName[0] >= '1' && entry.cFileName[0] <= '9') {
      const std::string line = read_text(folder + "\\cmdline");
      if (!line.empty() && matches(line.c_str())) found = folder;  // the first argument
    }
    if (!FindNextFileA(search, &entry)) break;
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return found;
}

std::string this_linux_process() {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t module[MAX_PATH];
  if (unix_name == nullptr || GetModuleFileNameW(nullptr, module, MAX_PATH) == 0) return "";
  const std::string mine = unix_name(module) ? unix_name(module) : "";
  if (mine.empty()) return "";
  // Wine keeps the program's path as it was given, maybe relative.
  return linux_process_folder([&](const std::string& given) {
    return given.size() <= mine.size() && mine.compare(mine.size() - given.size(), given.size(), given) == 0 &&
           (given.size() == mine.size() || (given[0] != '/' && mine[mine.size() - given.size() - 1] == '/'));
  });
}

long long minor_page_faults(const std::string& folder) {
  if (folder.empty()) return -1;
  const std::string text = read_text(folder + "\\stat");
  const char* p = std::strrchr(text.c_str(), ')');  // the program name may hold blanks
  long long minor = 0;
  if (p != nullptr && std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %lld", &minor) == 1) return minor;
  return -1;
}

double status_megabytes(const std::string& folder, const std::string& field) {
  if (folder.empty()) return -1;
  const std::string text = read_text(folder + "\\status");
  const std::size_t at = text.find("\n" + field + ":");
  long long kilobytes = 0;
  if (at == std::string::npos || std::sscanf(text.c_str() + at + field.size() + 2, "%lld", &kilobytes) != 1) return -1;
  return kilobytes / 1024.0;
}

bool reset_peak_memory(const std::string& folder) {
  if (folder.empty()) return false;
  HANDLE file = CreateFileA((folder + "\\clear_refs").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const BOOL written = WriteFile(file, "5", 1, &done, nullptr);
  CloseHandle(file);
  return written && done == 1;
}

}  // namespace murkel
