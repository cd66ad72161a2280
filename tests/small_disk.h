// The small file system tests/small_disk.sh mounts for the SmallDisk cases,
// as the Windows programs under Wine see it.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace small_disk {

// Its folder as a Windows path on Wine's Z: drive, without a separator at the
// end; "" when the test does not run under small_disk.sh.
inline std::string folder() {
  const char* unix_path = std::getenv("MURKEL_SMALL_DISK");
  std::string path = unix_path ? std::string("Z:") + unix_path : "";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// Takes the disk's free space but `room` bytes (to the page) with a file of
// its own; false when the disk could not be filled so.
inline bool leave_room(const std::string& filler, ULONGLONG room) {
  ULARGE_INTEGER free_bytes{};
  if (!GetDiskFreeSpaceExA((folder() + "\\").c_str(), &free_bytes, nullptr, nullptr)) return false;
  if (free_bytes.QuadPart <= room) return true;
  const std::vector<char> zeros(static_cast<std::size_t>(free_bytes.QuadPart - room));
  HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  const bool ok = WriteFile(file, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr) &&
                  written == zeros.size();
  CloseHandle(file);
  return ok;
}

}  // namespace small_disk
