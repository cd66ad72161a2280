// Rectangle selection geometry and the press/release state of the canvas's left button.
#pragma once

#include <cstdint>

#include "core/pixels.h"

namespace murkel {

struct Point {
  std::int32_t x = 0, y = 0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

// Clamp rule along one axis, p in screen coordinates:
// p > origin + size + 4 - scroll -> that; else if p < origin + max(0, 5 - scroll) -> that.
// The upper bound is tested first (it wins for a 0-sized picture).
[[nodiscard]] std::int32_t clamp_drag_coordinate(std::int32_t p, std::int32_t window_origin,
                                                 std::int32_t picture_size, std::int32_t scroll);
// The clamp rule on both axes: window_origin is the canvas window's left/top on screen.
[[nodiscard]] Point clamp_drag_point(Point screen, Point window_origin, Point picture_size, Point scroll);

struct SelectionFlags {
  bool button_pressed = false, selection_made = false, dragging = false;
  friend constexpr bool operator==(const SelectionFlags&, const SelectionFlags&) = default;
};

enum class PressResult { start_drag, clear_on_release };
// Left-button press on the canvas: start_drag (dragging set; a running drag starts
// anew) unless a selection exists, whose clearing then waits for the release.
[[nodiscard]] PressResult selection_press(SelectionFlags& flags);

enum class ReleaseResult { nothing, clear_selection, end_drag };
// Left-button release on the canvas: dragging cleared always; after a press it
// either clears the selection (selection_made cleared) or ends the drag
// (selection_made set); button_pressed cleared. A release without a press (the
// second click of a double click) gives nothing.
[[nodiscard]] ReleaseResult selection_release(SelectionFlags& flags);

// True when any field is not 0; all four 0 means no selection.
[[nodiscard]] constexpr bool selection_exists(const Rect& selection) {
  return selection.left != 0 || selection.top != 0 || selection.right != 0 || selection.bottom != 0;
}

// Outline corners in client coordinates, over the rectangle's own border pixels (at
// 100 %: (left+5-sx, top+5-sy) .. (right+4-sx, bottom+4-sy)); zoom.h makes them.
struct Outline {
  Point top_left, bottom_right;
  friend constexpr bool operator==(const Outline&, const Outline&) = default;
};

}  // namespace murkel
