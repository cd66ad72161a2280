// Lengths on screens of any scale. Layouts are given at 96 DPI (100 %); a
// window takes them at the DPI of the monitor it lies on (the program is
// per-monitor DPI aware), so that its texts fit at 150 % and 200 %.
#pragma once

#include <windows.h>

namespace murkel {

inline constexpr UINT kDefaultDpi = 96;
// WM_DPICHANGED: a top-level window now lies on a monitor of another scale
// (the new DPI in the low word of wParam, the proposed rectangle in lParam).
inline constexpr UINT kDpiChangedMessage = 0x02E0;

// The DPI of the window's monitor, or of the system for no window (or where
// Windows does not tell a window's own, before Windows 10).
[[nodiscard]] UINT window_dpi(HWND hwnd);

// A length given at 96 DPI, at `dpi`.
[[nodiscard]] inline int scaled(int length, UINT dpi) { return MulDiv(length, static_cast<int>(dpi), kDefaultDpi); }

// A system metric (GetSystemMetrics) at `dpi`.
[[nodiscard]] int system_metric(int index, UINT dpi);

// A new font of the system's for texts at `dpi`: the message font (dialogs'
// controls) or the status font (the status bar). The caller deletes it;
// nullptr when the system gives none.
enum class UiFont { message, status };
[[nodiscard]] HFONT create_ui_font(UiFont which, UINT dpi);

}  // namespace murkel
