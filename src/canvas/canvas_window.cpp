// CANVUS window procedure: surfaces, paint, scroll requests and the resize rule.
#include "canvas/canvas_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "app/app_state.h"
#include "canvas/scroll.h"
#include "canvas/selection.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

// The working image from source (sx - 5, sy - 5); parts of the source
// outside the picture leave the target as it was.
void copy_working_image(HDC target, int scroll_x, int scroll_y) {
  if (!picture_open()) return;
  BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.working_image,
         scroll_x - kCanvasMargin, scroll_y - kCanvasMargin, SRCCOPY);
}

void copy_background(HDC target) {
  BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.background_surface, 0, 0, SRCCOPY);
}

HBITMAP create_gray_background(int width, int height) {
  HBITMAP bitmap = CreateCompatibleBitmap(app.view_surface, width, height);
  SelectObject(app.background_surface, bitmap);
  SelectObject(app.background_surface, GetStockObject(GRAY_BRUSH));
  PatBlt(app.background_surface, 0, 0, width, height, PATCOPY);
  return bitmap;
}

void on_create(HWND hwnd) {
  RECT rc{};
  GetClientRect(app.main_window, &rc);
  MoveWindow(hwnd, 0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1 - app.status_height, TRUE);

  app.view_surface = GetDC(hwnd);
  app.surface_size = {std::max<LONG>(GetSystemMetrics(SM_CXSCREEN), app.canvas_client.cx),
                      std::max<LONG>(GetSystemMetrics(SM_CYSCREEN), app.canvas_client.cy)};
  app.scratch_bitmap = CreateCompatibleBitmap(app.view_surface, app.surface_size.cx, app.surface_size.cy);
  app.scratch_surface = CreateCompatibleDC(app.view_surface);
  app.background_surface = CreateCompatibleDC(app.view_surface);
  app.working_image = CreateCompatibleDC(app.view_surface);
  app.undo_image = CreateCompatibleDC(app.view_surface);
  SelectObject(app.scratch_surface, app.scratch_bitmap);
  app.background_bitmap = create_gray_background(app.surface_size.cx, app.surface_size.cy);

  app.doubled_frame_width = 2 * GetSystemMetrics(SM_CXDLGFRAME);
  app.horizontal_bar_height = GetSystemMetrics(SM_CYHSCROLL);

  SetScrollInfo(hwnd, SB_HORZ, &app.horizontal_scroll, TRUE);
  SetScrollInfo(hwnd, SB_VERT, &app.vertical_scroll, TRUE);

  // The canvas's handle is not stored yet: the load uses this one.
  if (app.command_line_file_name[0] != '\0') open_command_line_image(hwnd);
}

// The background grows with the canvas, so that a canvas larger than the
// screen of start-up is still painted whole.
void on_size(LPARAM lparam) {
  app.canvas_client = {LOWORD(lparam), HIWORD(lparam)};
  if (app.view_surface == nullptr) return;
  if (app.canvas_client.cx <= app.surface_size.cx && app.canvas_client.cy <= app.surface_size.cy) return;
  ViewLock lock;
  const SIZE grown{std::max(app.surface_size.cx, app.canvas_client.cx),
                   std::max(app.surface_size.cy, app.canvas_client.cy)};
  HBITMAP old = app.background_bitmap;
  app.background_bitmap = create_gray_background(grown.cx, grown.cy);
  DeleteObject(old);
  app.surface_size = grown;
}

void on_paint(HWND hwnd) {
  PAINTSTRUCT paint{};
  HDC hdc = BeginPaint(hwnd, &paint);
  {
    ViewLock lock;
    full_redraw(hdc);
  }
  EndPaint(hwnd, &paint);
  if (selection_exists(app.selection)) draw_selection_outline();
}

void on_mouse_move(LPARAM lparam) {
  app.last_mouse = {mouse_coordinate(LOWORD(lparam)), mouse_coordinate(HIWORD(lparam))};
  const std::string text = position_text(app.last_mouse.x + app.scroll_x, app.last_mouse.y + app.scroll_y);
  std::memset(app.position_text, 0, kStatusClearSize);
  text.copy(app.position_text, kStatusClearSize - 1);
  SendMessageA(app.status_bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(app.position_text));
}

// A scroll bar request. The drag anchor moves with the picture so that it
// stays on its image pixel, and the position field follows the picture
// under the unmoved cursor.
void scroll_view(HWND hwnd, bool horizontal, WPARAM wparam) {
  const int code = LOWORD(wparam);
  const auto thumb = static_cast<std::uint16_t>(HIWORD(wparam));
  ViewLock lock;
  if (horizontal) {
    app.scroll_x = scroll_request_offset(app.scroll_x, code, thumb, app.bitmap.bmWidth, app.canvas_client.cx);
  } else {
    app.scroll_y = scroll_request_offset(app.scroll_y, code, thumb, app.bitmap.bmHeight, app.canvas_client.cy);
  }
  set_scroll_record(hwnd, SB_HORZ, app.horizontal_scroll,
                    scroll_request_record(app.scroll_x, app.bitmap.bmWidth, app.canvas_client.cx));
  set_scroll_record(hwnd, SB_VERT, app.vertical_scroll,
                    scroll_request_record(app.scroll_y, app.bitmap.bmHeight, app.canvas_client.cy));
  full_redraw(app.view_surface);
  if (horizontal) {
    app.drag_anchor_x = adjust_anchor(app.drag_anchor_x, app.anchor_scroll_x, app.scroll_x);
    app.anchor_scroll_x = app.scroll_x.load();
  } else {
    app.drag_anchor_y = adjust_anchor(app.drag_anchor_y, app.anchor_scroll_y, app.scroll_y);
    app.anchor_scroll_y = app.scroll_y.load();
  }
}

// Shows the position under the unmoved cursor, then repaints the outline.
void after_scroll(HWND hwnd) {
  SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(app.last_mouse.x + kCanvasMargin, app.last_mouse.y + kCanvasMargin));
  SendMessageA(hwnd, WM_PAINT, 0, 0);
}

void on_scroll(HWND hwnd, bool horizontal, WPARAM wparam) {
  scroll_view(hwnd, horizontal, wparam);
  after_scroll(hwnd);
}

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

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE:      on_create(hwnd); break;
    case WM_SIZE:        on_size(lparam); break;
    case WM_PAINT:       on_paint(hwnd); break;
    case WM_MOUSEMOVE:   on_mouse_move(lparam); break;
    case WM_HSCROLL:     on_scroll(hwnd, true, wparam); break;
    case WM_VSCROLL:     on_scroll(hwnd, false, wparam); break;
    case WM_LBUTTONDOWN: on_left_button_down(); break;
    case WM_LBUTTONUP:   on_left_button_up(); break;
    default:             return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  return 0;
}

}  // namespace murkel
