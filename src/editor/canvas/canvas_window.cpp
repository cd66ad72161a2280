// CANVUS window procedure: surfaces, paint and scroll requests.
#include "editor/canvas/canvas_window.h"

#include <algorithm>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "core/canvas/zoom.h"
#include "editor/app/app_state.h"
#include "editor/document/document_commands.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

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
  SelectObject(app.scratch_surface, app.scratch_bitmap);
  app.background_bitmap = create_gray_background(app.surface_size.cx, app.surface_size.cy);

  measure_frame_and_bar(app.dpi);

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
  const std::int32_t x = app.last_mouse.x + kCanvasMargin, y = app.last_mouse.y + kCanvasMargin;
  set_status_field(0, app.position_text,
                   position_text(client_to_picture(x, app.scroll_x, app.zoom),
                                 client_to_picture(y, app.scroll_y, app.zoom)));
  follow_edge_drag();
}

// The thumb's position: the request's 16 bits, or the bar's own 32 bits
// where its range is longer (a large picture zoomed in).
std::int32_t thumb_position(HWND hwnd, bool horizontal, WPARAM wparam, std::int32_t picture_size) {
  if (scroll_maximum(picture_size, horizontal ? app.canvas_client.cx : app.canvas_client.cy) <= 0xFFFF) {
    return static_cast<std::uint16_t>(HIWORD(wparam));
  }
  SCROLLINFO info{sizeof(info), SIF_TRACKPOS};
  GetScrollInfo(hwnd, horizontal ? SB_HORZ : SB_VERT, &info);
  return info.nTrackPos;
}

// A scroll bar request. The steps and ranges are those of the picture's
// size on the canvas. The drag anchor moves with the picture so that it
// stays on its image pixel, and the position field follows the picture
// under the unmoved cursor.
void scroll_view(HWND hwnd, bool horizontal, WPARAM wparam) {
  const int code = LOWORD(wparam);
  const Point size = zoomed_picture_size();
  const std::int32_t thumb = thumb_position(hwnd, horizontal, wparam, horizontal ? size.x : size.y);
  const std::int32_t line = line_step(app.zoom), page = page_step(app.zoom);
  ViewLock lock;
  if (horizontal) {
    app.scroll_x = scroll_request_offset(app.scroll_x, code, thumb, size.x, app.canvas_client.cx, line, page);
  } else {
    app.scroll_y = scroll_request_offset(app.scroll_y, code, thumb, size.y, app.canvas_client.cy, line, page);
  }
  set_scroll_record(hwnd, SB_HORZ, app.horizontal_scroll,
                    scroll_request_record(app.scroll_x, size.x, app.canvas_client.cx));
  set_scroll_record(hwnd, SB_VERT, app.vertical_scroll,
                    scroll_request_record(app.scroll_y, size.y, app.canvas_client.cy));
  full_redraw(app.view_surface);
  if (horizontal) {
    app.drag_anchor_x = adjust_anchor(app.drag_anchor_x, app.anchor_scroll_x, app.scroll_x);
    app.anchor_scroll_x = app.scroll_x.load();
  } else {
    app.drag_anchor_y = adjust_anchor(app.drag_anchor_y, app.anchor_scroll_y, app.scroll_y);
    app.anchor_scroll_y = app.scroll_y.load();
  }
}

// Shows the position under the unmoved cursor, then the outline at the new
// offset over the redraw the request has made (once: a paint would redraw
// the canvas a second time).
void after_scroll(HWND hwnd) {
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(app.last_mouse.x + kCanvasMargin, app.last_mouse.y + kCanvasMargin));
  if (selection_exists(app.selection)) draw_selection_outline();
}

void on_scroll(HWND hwnd, bool horizontal, WPARAM wparam) {
  scroll_view(hwnd, horizontal, wparam);
  after_scroll(hwnd);
}

}  // namespace

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
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && set_edge_cursor()) return TRUE;
      return DefWindowProcW(hwnd, msg, wparam, lparam);
    case kApplyScrollBars: apply_waiting_scroll_bars(); break;
    default:             return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  return 0;
}

}  // namespace murkel
