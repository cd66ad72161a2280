// The working image's picture as a 24-bit bitmap file, written so that a
// failure never costs the user the file that was there.
#include <windows.h>

#include <new>
#include <iterator>
#include <string>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "editor/app/app_state.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"

namespace murkel {
namespace {

// Why a write failed, in the user's words; nullptr when the system's own
// text has to do.
const wchar_t* reason_text(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return texts().save_denied;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
      return texts().save_no_folder;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return texts().save_in_use;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return texts().save_disk_full;
    default:
      return nullptr;
  }
}

}  // namespace

// "画像を保存できません。", the path, and the reason.
void report_save_failure(const wchar_t* path, const wchar_t* reason, DWORD error) {
  std::wstring message = texts().cannot_save;
  message += L"\n\n";
  message += path;
  wchar_t system_text[512] = {};
  if (reason == nullptr && error != ERROR_SUCCESS &&
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system_text,
                     static_cast<DWORD>(std::size(system_text)), nullptr) != 0) {
    reason = system_text;
  }
  if (reason != nullptr) {
    message += L"\n\n";
    message += reason;
  }
  document_message(message.c_str());
}

namespace {

// An existing target must be ours to replace: not read-only (Wine would
// replace such a file all the same) and not held open by another program.
DWORD check_target(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ACCESS_DENIED;
  HANDLE probe = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(probe);
  return ERROR_SUCCESS;
}

// The path in the form that no length limit applies to ("\\?\C:\...",
// "\\?\UNC\server\share\..."): the target's folder may take nearly all of
// the 259 characters of a path, and the temporary file's name then goes
// past them.
std::wstring without_length_limit(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// A new file "murXXXX.tmp" in `folder` (which ends in its separator), open
// for writing, its path in `temp`; INVALID_HANDLE_VALUE with the error.
HANDLE create_temporary_file(const std::wstring& folder, std::wstring& temp) {
  const DWORD start = GetTickCount() ^ (GetCurrentProcessId() << 8);
  for (DWORD i = 0; i < 0x10000; ++i) {
    wchar_t name[16];
    wsprintfW(name, L"mur%04X.tmp", static_cast<unsigned>((start + i) & 0xFFFF));
    temp = folder + name;
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_RANDOM_ACCESS, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return file;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Writes the bytes into a new temporary file in the target's folder and
// moves it over the target. Returns the error, the temporary file removed.
DWORD write_replacing(const wchar_t* path, const std::vector<std::uint8_t>& bytes) {
  if (const DWORD error = check_target(path); error != ERROR_SUCCESS) return error;
  std::wstring full(GetFullPathNameW(path, 0, nullptr, nullptr), L'\0');
  wchar_t* name = nullptr;
  const DWORD length = full.empty() ? 0 : GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), &name);
  if (length == 0 || length >= full.size() || name == nullptr) return ERROR_INVALID_NAME;
  const std::wstring target = without_length_limit(full.substr(0, length));
  const std::wstring folder = target.substr(0, target.size() - lstrlenW(name));  // with its trailing separator
  std::wstring temp;
  HANDLE file = create_temporary_file(folder, temp);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();

  DWORD error = ERROR_SUCCESS;
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    error = GetLastError();
  } else if (written != bytes.size()) {
    error = ERROR_DISK_FULL;
  } else if (!FlushFileBuffers(file)) {
    error = GetLastError();
  }
  if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
  if (error == ERROR_SUCCESS &&
      !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) DeleteFileW(temp.c_str());
  return error;
}

}  // namespace

bool write_file_replacing(const wchar_t* path, const std::vector<std::uint8_t>& bytes) {
  if (const DWORD error = write_replacing(path, bytes); error != ERROR_SUCCESS) {
    report_save_failure(path, reason_text(error), error);
    return false;
  }
  return true;
}

bool write_bitmap_file(const wchar_t* path) {
  const auto layout = bmp24_layout(app.bitmap.bmWidth, app.bitmap.bmHeight);
  if (!layout) {
    report_save_failure(path, texts().save_too_large);
    return false;
  }
  std::vector<std::uint8_t> file;
  if (!with_blocks_given_back([&] {
        try {
          file.resize(layout->file_size);
          return true;
        } catch (const std::bad_alloc&) {
          note_memory_short();
          return false;
        }
      })) {
    report_save_failure(path, texts().save_no_memory);
    return false;
  }
  write_bmp24_header(*layout, file.data());

  // The rows as GDI gives them at 24 bits: bottom row first, blue, green,
  // red, each padded to the row size, exactly the file's layout.
  if (layout->height > 0) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[256];
    } request{};
    request.header.biSize = sizeof(BITMAPINFOHEADER);
    request.header.biWidth = layout->width;
    request.header.biHeight = layout->height;
    request.header.biPlanes = 1;
    request.header.biBitCount = 24;
    request.header.biCompression = BI_RGB;
    request.header.biSizeImage = layout->image_size;
    int rows = 0;
    {
      ViewLock lock;
      const auto picture = static_cast<HBITMAP>(GetCurrentObject(app.working_image, OBJ_BITMAP));
      rows = GetDIBits(app.working_image, picture, 0, static_cast<UINT>(layout->height),
                       file.data() + kBmpHeaderSize, reinterpret_cast<BITMAPINFO*>(&request), DIB_RGB_COLORS);
    }
    if (rows != layout->height) {
      report_save_failure(path, nullptr);
      return false;
    }
  }

  return write_file_replacing(path, file);
}

}  // namespace murkel
