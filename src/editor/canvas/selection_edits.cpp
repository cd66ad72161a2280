// The selection changed without a drag: Select all, the keys, and a drag of
// the outline's edges and corners.
#include <windows.h>

#include "core/canvas/selection_edit.h"
#include "core/canvas/zoom.h"
#include "editor/app/app_state.h"
#include "editor/app/transfer_blocks.h"
#include "editor/canvas/canvas_window.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

// What each key does: a move, or a change of the right and bottom edges.
struct KeyChange {
  WORD command;
  std::int32_t dx, dy;
  bool size;
};
constexpr KeyChange kKeyChanges[] = {
    {kCmdMoveLeft, -1, 0, false},     {kCmdMoveRight, 1, 0, false},     {kCmdMoveUp, 0, -1, false},
    {kCmdMoveDown, 0, 1, false},      {kCmdMoveLeftFar, -10, 0, false}, {kCmdMoveRightFar, 10, 0, false},
    {kCmdMoveUpFar, 0, -10, false},   {kCmdMoveDownFar, 0, 10, false},  {kCmdSizeLeft, -1, 0, true},
    {kCmdSizeRight, 1, 0, true},      {kCmdSizeUp, 0, -1, true},        {kCmdSizeDown, 0, 1, true},
    {kCmdSizeLeftFar, -10, 0, true},  {kCmdSizeRightFar, 10, 0, true},  {kCmdSizeUpFar, 0, -10, true},
    {kCmdSizeDownFar, 0, 10, true},
};

Point picture_size() { return Point{app.bitmap.bmWidth, app.bitmap.bmHeight}; }
Point current_scroll() { return Point{app.scroll_x, app.scroll_y}; }

// A selection made and no press going on: the keys may change it.
bool selection_at_rest() {
  return picture_open() && app.selection_flags.selection_made && !app.selection_flags.button_pressed &&
         !app.dragging && !app.edge_grab.any();
}

// The new selection on the canvas at once: outline, field, and the effects'
// memory made ready for it.
void show_changed_selection(const Rect& selection) {
  app.selection = selection;
  {
    ViewLock lock;
    show_working_image();
    draw_outline(selection_outline(app.selection, current_scroll(), app.zoom));
  }
  show_selection_field();
}

Point cursor_in_canvas() {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(app.canvas_window, &cursor);
  return Point{cursor.x, cursor.y};
}

Grab grab_under_cursor() {
  if (!picture_open() || !app.selection_flags.selection_made || app.selection_flags.button_pressed) return Grab{};
  return grab_at(selection_outline(app.selection, current_scroll(), app.zoom), cursor_in_canvas());
}

}  // namespace

void select_all() {
  if (!picture_open() || app.selection_flags.button_pressed || app.dragging || app.edge_grab.any()) return;
  app.selection_flags.selection_made = true;
  enable_effect_items(true);
  show_changed_selection(whole_picture(picture_size()));
  prepare_transfer_blocks(app.selection);
}

void selection_key(WORD command) {
  if (!selection_at_rest()) return;
  if (command == kCmdClearSelection) {
    clear_selection();
    return;
  }
  for (const KeyChange& k : kKeyChanges) {
    if (k.command != command) continue;
    show_changed_selection(k.size ? size_selection(app.selection, k.dx, k.dy, picture_size())
                                  : move_selection(app.selection, k.dx, k.dy, picture_size()));
    prepare_transfer_blocks(app.selection);
  }
}

bool start_edge_drag() {
  const Grab grab = grab_under_cursor();
  if (!grab.any()) return false;
  app.edge_grab = grab;
  return true;
}

// Left and top edges go to the first picture pixel under the cursor, right
// and bottom ones past the last (zoomed out, a canvas pixel shows several).
void follow_edge_drag() {
  if (!app.edge_grab.any()) return;
  const Point c = cursor_in_canvas();
  const Grab& g = app.edge_grab;
  const Point first{client_to_picture(c.x, app.scroll_x, app.zoom), client_to_picture(c.y, app.scroll_y, app.zoom)};
  const Point last{client_to_picture_last(c.x, app.scroll_x, app.zoom),
                   client_to_picture_last(c.y, app.scroll_y, app.zoom)};
  Rect r = drag_edges(app.selection, Grab{g.left, g.top, false, false}, first, picture_size());
  r = drag_edges(r, Grab{false, false, g.right, g.bottom}, last, picture_size());
  if (!(r == app.selection)) show_changed_selection(r);
}

bool end_edge_drag() {
  if (!app.edge_grab.any()) return false;
  follow_edge_drag();
  app.edge_grab = Grab{};
  prepare_transfer_blocks(app.selection);
  return true;
}

bool set_edge_cursor() {
  const Grab g = app.edge_grab.any() ? app.edge_grab : grab_under_cursor();
  if (!g.any()) return false;
  const bool diagonal = (g.left || g.right) && (g.top || g.bottom);
  const wchar_t* shape = !diagonal              ? (g.left || g.right ? IDC_SIZEWE : IDC_SIZENS)
                         : (g.left == g.top)    ? IDC_SIZENWSE
                                                : IDC_SIZENESW;
  SetCursor(LoadCursorW(nullptr, shape));
  return true;
}

}  // namespace murkel
