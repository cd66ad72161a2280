// Rectangle selection on the canvas: press, drag loop thread and release.
#include <windows.h>

#include <string>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "core/canvas/zoom.h"
#include "editor/app/app_state.h"
#include "editor/app/transfer_blocks.h"
#include "editor/canvas/canvas_window.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

constexpr DWORD kDragPause = 50;

Point current_scroll() { return Point{app.scroll_x, app.scroll_y}; }
Point picture_size() { return Point{app.bitmap.bmWidth, app.bitmap.bmHeight}; }
Point window_origin() { return Point{app.drag_window_rect.left, app.drag_window_rect.top}; }

Point clamped_cursor() {
  POINT cursor{};
  GetCursorPos(&cursor);
  return clamp_drag_point(Point{cursor.x, cursor.y}, window_origin(), zoomed_picture_size(), current_scroll());
}

Point to_client(Point screen) { return Point{screen.x - app.drag_window_rect.left, screen.y - app.drag_window_rect.top}; }

// One pass: wipe the last band, follow the cursor, draw the band, report the
// corners. The band is the outline the selection will have, over the canvas
// pixels of its border pixels (at 100 %, from the anchor to the point). The
// status text is sent outside the view lock: the main thread may be waiting
// for that lock and could not answer the message.
void drag_pass() {
  std::string text;
  {
    // Scroll offset and anchor change together under this lock (scroll
    // requests). After the release, which draws the outline, nothing is drawn.
    ViewLock lock;
    if (!app.dragging) return;
    const Point point = clamped_cursor();
    app.drag_point_x = point.x;
    app.drag_point_y = point.y;
    const Point anchor_client = to_client(Point{app.drag_anchor_x, app.drag_anchor_y});
    const Point point_client = to_client(point);
    show_working_image();
    const Rect band = selection_from_drag(anchor_client, point_client, current_scroll(), app.zoom, picture_size());
    draw_outline(selection_outline(band, current_scroll(), app.zoom));
    const Point start{app.drag_start_scroll.x, app.drag_start_scroll.y};
    text = selection_text(anchor_client, point_client, current_scroll(), start, app.zoom, picture_size());
  }
  set_status_field(1, app.selection_text, text);
}

DWORD WINAPI drag_loop(LPVOID parameter) {
  const auto generation = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(parameter));
  while (app.dragging && app.drag_generation == generation) {
    drag_pass();
    Sleep(kDragPause);
  }
  return 0;
}

void start_drag() {
  GetWindowRect(app.canvas_window, &app.drag_window_rect);
  const Point anchor = clamped_cursor();
  app.drag_anchor_x = anchor.x;
  app.drag_anchor_y = anchor.y;
  app.drag_point_x = anchor.x;
  app.drag_point_y = anchor.y;
  app.anchor_scroll_x = app.scroll_x.load();
  app.anchor_scroll_y = app.scroll_y.load();
  app.drag_start_scroll = {app.scroll_x, app.scroll_y};
  enable_effect_items(true);

  const std::uint32_t generation = ++app.drag_generation;
  app.dragging = true;
  HANDLE thread = CreateThread(nullptr, 0, drag_loop, reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(generation)),
                               0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

// The selection from the cursor at the release, against the anchor, offset
// and zoom of the same moment (a zoom or scroll may have come after the
// loop's last pass), and its outline from the stored rectangle, in place of
// that pass's band.
void end_drag() {
  std::string text;
  {
    ViewLock lock;
    const Point point = clamped_cursor();
    app.drag_point_x = point.x;
    app.drag_point_y = point.y;
    const Point anchor_client = to_client(Point{app.drag_anchor_x, app.drag_anchor_y});
    app.selection = selection_from_drag(anchor_client, to_client(point), current_scroll(), app.zoom, picture_size());
    show_working_image();
    draw_outline(selection_outline(app.selection, current_scroll(), app.zoom));
    const Point start{app.drag_start_scroll.x, app.drag_start_scroll.y};
    text = selection_text(anchor_client, to_client(point), current_scroll(), start, app.zoom, picture_size());
  }
  set_status_field(1, app.selection_text, text);
  prepare_transfer_blocks(app.selection);
}

}  // namespace

// The canvas holds the mouse from the press to the release, so that a
// release outside it still ends the drag. A press on the outline's edges
// takes hold of them instead of starting the clearing click.
void on_left_button_down() {
  SetCapture(app.canvas_window);
  if (start_edge_drag()) return;
  if (selection_press(app.selection_flags) == PressResult::start_drag) start_drag();
}

void on_left_button_up() {
  if (GetCapture() == app.canvas_window) ReleaseCapture();
  if (end_edge_drag()) return;
  const ReleaseResult result = selection_release(app.selection_flags);
  app.dragging = false;
  if (result == ReleaseResult::clear_selection) clear_selection();
  if (result == ReleaseResult::end_drag) end_drag();
}

}  // namespace murkel
