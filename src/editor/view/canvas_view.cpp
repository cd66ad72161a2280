// Drawing on the canvas's view surface, its scroll bars and the status fields.
#include "editor/view/canvas_view.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>

#include "core/canvas/selection.h"
#include "core/codecs/dib_rows.h"
#include "editor/app/app_state.h"
#include "editor/app/transfer_blocks.h"
#include "editor/app/unicode_text.h"
#include "editor/menus/menus.h"

namespace murkel {
namespace {

// The part of the picture that the canvas shows goes to the window in 32
// bits, converted here: GDI converts a 24-bit picture for the window
// through a buffer the size of the canvas at every redraw (the 32-bit Wine
// allocates it anew each time, some 600 page faults). True when done.
bool copy_true_colour_view(HDC target, int scroll_x, int scroll_y) {
  const std::optional<DibRows> rows = true_colour_rows(app.working_image);
  if (!rows || rows->bytes_per_pixel != 3) return false;
  const int left = std::max(0, kCanvasMargin - scroll_x), top = std::max(0, kCanvasMargin - scroll_y);
  const int right = std::min<int>(app.canvas_client.cx, app.bitmap.bmWidth + kCanvasMargin - scroll_x);
  const int bottom = std::min<int>(app.canvas_client.cy, app.bitmap.bmHeight + kCanvasMargin - scroll_y);
  if (right <= left || bottom <= top) return true;
  TransferBlock& view = app.view_block;
  if (!reserve_transfer_block(view, right - left, bottom - top, true)) return false;
  const Rect shown{left + scroll_x - kCanvasMargin, top + scroll_y - kCanvasMargin, right + scroll_x - kCanvasMargin,
                   bottom + scroll_y - kCanvasMargin};
  copy_dib_rows(*rows, shown,
                DibRows{reinterpret_cast<std::uint8_t*>(view.pixels), std::ptrdiff_t{view.width} * 4, 4, view.width,
                        view.height});
  BitBlt(target, left, top, right - left, bottom - top, view.dc, 0, 0, SRCCOPY);
  return true;
}

// The working image from source (sx - 5, sy - 5); parts of the source
// outside the picture leave the target as it was.
void copy_working_image(HDC target, int scroll_x, int scroll_y) {
  if (!picture_open() || copy_true_colour_view(target, scroll_x, scroll_y)) return;
  BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.working_image,
         scroll_x - kCanvasMargin, scroll_y - kCanvasMargin, SRCCOPY);
}

void copy_background(HDC target) {
  BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.background_surface, 0, 0, SRCCOPY);
}

Point current_scroll() { return Point{app.scroll_x, app.scroll_y}; }

}  // namespace

void set_scroll_record(HWND hwnd, int bar, SCROLLINFO& record, const ScrollRecord& values) {
  record.nMin = values.min;
  record.nMax = values.max;
  record.nPage = static_cast<UINT>(values.page);
  record.nPos = values.pos;
  SetScrollInfo(hwnd, bar, &record, TRUE);
}

void show_working_image() {
  if (picture_open()) {
    copy_working_image(app.view_surface, app.scroll_x, app.scroll_y);
  } else {
    copy_background(app.view_surface);
  }
}

void full_redraw(HDC target) {
  copy_background(target);
  copy_working_image(target, app.scroll_x, app.scroll_y);
}

void apply_resize_rule() {
  if (app.canvas_window == nullptr) return;
  const ResizeAxis h = resize_axis(app.scroll_x, app.bitmap.bmWidth, app.canvas_client.cx);
  const ResizeAxis v = resize_axis(app.scroll_y, app.bitmap.bmHeight, app.canvas_client.cy);
  set_scroll_record(app.canvas_window, SB_HORZ, app.horizontal_scroll, h.record);
  set_scroll_record(app.canvas_window, SB_VERT, app.vertical_scroll, v.record);
  ViewLock lock;
  if (h.fits) {
    copy_background(app.view_surface);
    copy_working_image(app.view_surface, 0, app.scroll_y);
    app.scroll_x = 0;
  }
  if (v.fits) {
    copy_background(app.view_surface);
    copy_working_image(app.view_surface, app.scroll_x, 0);
    app.scroll_y = 0;
  }
}

void set_status_field(int field, wchar_t* buffer, const std::string& content) {
  std::fill_n(buffer, kStatusClearSize, L'\0');
  from_utf8(content).copy(buffer, kStatusClearSize - 1);
  SendMessageW(app.status_bar, SB_SETTEXTW, field, reinterpret_cast<LPARAM>(buffer));
}

void clear_selection() {
  app.selection = Rect{};
  enable_effect_items(false);
  {
    ViewLock lock;
    show_working_image();
  }
  app.selection_flags.selection_made = false;
  set_status_field(1, app.selection_text, std::string());
}

void draw_selection_outline() {
  const Outline outline = selection_outline(app.selection, current_scroll());
  ViewLock lock;
  MoveToEx(app.view_surface, outline.top_left.x, outline.top_left.y, nullptr);
  LineTo(app.view_surface, outline.top_left.x, outline.bottom_right.y);
  LineTo(app.view_surface, outline.bottom_right.x, outline.bottom_right.y);
  LineTo(app.view_surface, outline.bottom_right.x, outline.top_left.y);
  LineTo(app.view_surface, outline.top_left.x, outline.top_left.y);
}

}  // namespace murkel
