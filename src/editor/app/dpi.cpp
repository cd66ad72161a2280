// DPI through the calls of Windows 10 where the system has them, through the
// screen's device context elsewhere (Windows 7 and 8 have no per-window DPI).
#include "editor/app/dpi.h"

namespace murkel {
namespace {

template <typename Function>
Function user32_function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT window_dpi(HWND hwnd) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for_window = user32_function<DpiForWindow>("GetDpiForWindow");
  if (hwnd != nullptr && dpi_for_window != nullptr) {
    if (const UINT dpi = dpi_for_window(hwnd); dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

HFONT create_ui_font(UiFont which, UINT dpi) {
  using ParametersForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto parameters_for_dpi = user32_function<ParametersForDpi>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  const bool at_dpi = parameters_for_dpi != nullptr &&
                      parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
  if (!at_dpi && !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  LOGFONTW font = which == UiFont::status ? metrics.lfStatusFont : metrics.lfMessageFont;
  // The system's own fonts are given at the system's DPI.
  if (!at_dpi) font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(window_dpi(nullptr)));
  return CreateFontIndirectW(&font);
}

int system_metric(int index, UINT dpi) {
  using MetricForDpi = int(WINAPI*)(int, UINT);
  static const auto metric_for_dpi = user32_function<MetricForDpi>("GetSystemMetricsForDpi");
  return metric_for_dpi != nullptr ? metric_for_dpi(index, dpi) : GetSystemMetrics(index);
}

}  // namespace murkel
