// Starts a Windows program with the exact command line `"PROGRAM" "FILE"`,
// waits for it and returns its exit code. Wine quotes an argument only when
// it holds a blank; the editor wants its picture as the second quoted item.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: launch PROGRAM [FILE]\n");
    return 2;
  }
  std::string command_line = std::string("\"") + argv[1] + "\"";
  if (argc == 3) command_line += std::string(" \"") + argv[2] + "\"";

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "launch: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
