// Changing the zoom: the scroll offset about a kept point, the scroll bars,
// a drag going on, the redraw and the status fields.
#include "editor/view/zoom_view.h"

#include <algorithm>
#include <cstdlib>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "editor/app/app_state.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

POINT canvas_centre() { return POINT{app.canvas_client.cx / 2, app.canvas_client.cy / 2}; }

// Re-places one axis of a running drag (anchor in screen coordinates): the
// anchor onto the client point of its picture pixel at the new zoom, and the
// press's offset to the same picture offset, which the selection field
// subtracts.
void move_drag_axis(std::atomic<std::int32_t>& anchor, std::atomic<std::int32_t>& anchor_scroll, LONG& start,
                    std::int32_t origin, std::int32_t old_scroll, std::int32_t new_scroll, Zoom from, Zoom to) {
  const std::int32_t picture = client_to_picture(anchor - origin, old_scroll, from);
  anchor = origin + picture_to_client(picture, new_scroll, to);
  anchor_scroll = new_scroll;
  start = picture_to_client(client_to_picture(kCanvasMargin, start, from), 0, to) - kCanvasMargin;
}

// After the canvas was drawn anew at a new offset: the selection's outline,
// and the bars, which follow the canvas the user looks at.
void outline_and_bars_after_redraw() {
  if (selection_exists(app.selection)) draw_selection_outline();
  const Point size = zoomed_picture_size();
  ScrollRecord h = load_scroll_record(size.x, app.canvas_client.cx);
  ScrollRecord v = load_scroll_record(size.y, app.canvas_client.cy);
  h.pos = app.scroll_x;
  v.pos = app.scroll_y;
  set_scroll_records_after(h, v);
}

}  // namespace

void show_zoom_field() { set_status_field(2, app.zoom_text, zoom_text(app.zoom)); }

void set_zoom(Zoom zoom, POINT keep) {
  const Zoom from = app.zoom;
  if (!picture_open() || zoom == from) return;
  {
    ViewLock lock;
    const std::int32_t old_x = app.scroll_x, old_y = app.scroll_y;
    app.scroll_x = scroll_after_zoom(keep.x, old_x, from, zoom, app.bitmap.bmWidth, app.canvas_client.cx);
    app.scroll_y = scroll_after_zoom(keep.y, old_y, from, zoom, app.bitmap.bmHeight, app.canvas_client.cy);
    if (app.dragging) {
      move_drag_axis(app.drag_anchor_x, app.anchor_scroll_x, app.drag_start_scroll.x, app.drag_window_rect.left, old_x,
                     app.scroll_x, from, zoom);
      move_drag_axis(app.drag_anchor_y, app.anchor_scroll_y, app.drag_start_scroll.y, app.drag_window_rect.top, old_y,
                     app.scroll_y, from, zoom);
    }
    app.zoom = zoom;
    full_redraw(app.view_surface);
  }
  outline_and_bars_after_redraw();
  show_zoom_field();
  // The position field follows the picture under the unmoved cursor.
  SendMessageW(app.canvas_window, WM_MOUSEMOVE, 0,
               MAKELPARAM(app.last_mouse.x + kCanvasMargin, app.last_mouse.y + kCanvasMargin));
}

void zoom_command(WORD id) {
  switch (id) {
    case kCmdZoomIn:      set_zoom(zoom_in(app.zoom), canvas_centre()); break;
    case kCmdZoomOut:     set_zoom(zoom_out(app.zoom), canvas_centre()); break;
    case kCmdActualSize:  set_zoom(kActualSize, canvas_centre()); break;
    case kCmdFitToWindow:
      set_zoom(fit_zoom(Point{app.bitmap.bmWidth, app.bitmap.bmHeight},
                        Point{app.canvas_client.cx, app.canvas_client.cy}),
               canvas_centre());
      break;
    default:              break;
  }
}

void zoom_at_cursor(std::int32_t levels) {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(app.canvas_window, &cursor);
  const bool on_canvas = cursor.x >= 0 && cursor.y >= 0 && cursor.x < app.canvas_client.cx &&
                         cursor.y < app.canvas_client.cy;
  Zoom zoom = app.zoom;
  for (std::int32_t i = 0; i < std::min(std::abs(levels), 16); ++i) zoom = levels > 0 ? zoom_in(zoom) : zoom_out(zoom);
  set_zoom(zoom, on_canvas ? cursor : canvas_centre());
}

void scroll_to_picture_rect(const Rect& r) {
  if (!picture_open()) return;
  {
    ViewLock lock;
    app.scroll_x = scroll_to_centre(r.left, r.right, app.zoom, app.bitmap.bmWidth, app.canvas_client.cx);
    app.scroll_y = scroll_to_centre(r.top, r.bottom, app.zoom, app.bitmap.bmHeight, app.canvas_client.cy);
    full_redraw(app.view_surface);
    app.drag_anchor_x = adjust_anchor(app.drag_anchor_x, app.anchor_scroll_x, app.scroll_x);
    app.anchor_scroll_x = app.scroll_x.load();
    app.drag_anchor_y = adjust_anchor(app.drag_anchor_y, app.anchor_scroll_y, app.scroll_y);
    app.anchor_scroll_y = app.scroll_y.load();
  }
  outline_and_bars_after_redraw();
}

}  // namespace murkel
