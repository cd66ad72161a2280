// The editor's UTF-16 texts as another program reads them through the ANSI
// calls (code page 932 under the Japanese locale), and names given in the
// ANSI code page as the editor holds them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

inline std::string ansi(std::wstring_view text) {
  const int size = static_cast<int>(text.size());
  std::string bytes(WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  return bytes;
}

inline std::wstring wide(std::string_view ansi_text) {
  const int size = static_cast<int>(ansi_text.size());
  std::wstring text(MultiByteToWideChar(CP_ACP, 0, ansi_text.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi_text.data(), size, text.data(), static_cast<int>(text.size()));
  return text;
}
