// Starts a Windows program with the exact command line `"PROGRAM" "FILE"`,
// waits for it and returns its exit code. Wine quotes an argument only when
// it holds a blank; the editor wants its picture as the second quoted item.
// The arguments are read as UTF-16, so that any file name arrives whole.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 2 || count > 3) {
    std::fprintf(stderr, "usage: launch PROGRAM [FILE]\n");
    return 2;
  }
  std::wstring command_line = std::wstring(L"\"") + arguments[1] + L"\"";
  if (count == 3) command_line += std::wstring(L" \"") + arguments[2] + L"\"";

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "launch: cannot start %ls (error %lu)\n", arguments[1], GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
