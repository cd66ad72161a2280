// A screen of text drawn by GDI, dark on light, for the tests of finding:
// the picture, and where each secret of it stands.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace text_screen {

struct Line {
  int x = 0, y = 0;
  std::wstring before, secret, after;  // drawn in one run; the secret's box is measured
};

struct Screen {
  murkel::Image image;
  std::vector<murkel::Rect> secrets;  // the pixels of each secret's text, right and bottom exclusive
};

// Lines of 16-pixel Tahoma (Wine's own), black on white, on a width x height screen.
inline Screen draw(int width, int height, const std::vector<Line>& lines) {
  Screen screen{murkel::Image{width, height, {}}, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma");
  HGDIOBJ old_font = SelectObject(dc, font);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  for (const Line& line : lines) {
    const std::wstring text = line.before + line.secret + line.after;
    TextOutW(dc, line.x, line.y, text.c_str(), static_cast<int>(text.size()));
    SIZE before{}, secret{};
    GetTextExtentPoint32W(dc, line.before.c_str(), static_cast<int>(line.before.size()), &before);
    GetTextExtentPoint32W(dc, line.secret.c_str(), static_cast<int>(line.secret.size()), &secret);
    screen.secrets.push_back({line.x + before.cx, line.y, line.x + before.cx + secret.cx, line.y + secret.cy});
  }
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t p = pixels[i];  // 0x00RRGGBB
    screen.image.pixels.push_back(murkel::make_colour((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
  }
  // Each secret's box shrinks to the pixels its letters touched.
  for (murkel::Rect& r : screen.secrets) {
    murkel::Rect ink{r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (screen.image.pixels[std::size_t(y) * width + x] != 0xFFFFFFu) {
          ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), std::max(ink.bottom, y + 1)};
        }
    r = ink;
  }
  SelectObject(dc, old_font);
  SelectObject(dc, old_bitmap);
  DeleteObject(font);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return screen;
}

// The screen both finding tests read: an e-mail address and a phone number
// among words that must stay.
inline Screen mail_screen() {
  return draw(520, 90, {{20, 20, L"Write to ", L"alice.walker@example.com", L" today"},
                        {20, 50, L"or call ", L"415-555-0132", L" after 09:30"}});
}

}  // namespace text_screen
