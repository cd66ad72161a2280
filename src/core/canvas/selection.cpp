// Clamp rule, press/release flags, stored rectangle, selection text and outline of a drag.
#include "core/canvas/selection.h"

#include <algorithm>

#include "core/canvas/scroll.h"

namespace murkel {

namespace {

// 64-bit sums wrapped back to 32 bits: defined for any input, exact for real coordinates.
constexpr std::int32_t wrap(std::int64_t v) { return static_cast<std::int32_t>(v); }

}  // namespace

std::int32_t clamp_drag_coordinate(std::int32_t p, std::int32_t window_origin, std::int32_t picture_size,
                                   std::int32_t scroll) {
  // Last image pixel, W - 1, shown at client W - 1 + 5 - scroll.
  const std::int64_t upper = std::int64_t{window_origin} + picture_size + (kCanvasMargin - 1) - scroll;
  if (p > upper) return wrap(upper);
  // Neither left of the picture nor left of the client edge.
  const std::int64_t lower = std::int64_t{window_origin} + std::max<std::int64_t>(0, kCanvasMargin - std::int64_t{scroll});
  if (p < lower) return wrap(lower);
  return p;
}

Point clamp_drag_point(Point screen, Point window_origin, Point picture_size, Point scroll) {
  return Point{clamp_drag_coordinate(screen.x, window_origin.x, picture_size.x, scroll.x),
               clamp_drag_coordinate(screen.y, window_origin.y, picture_size.y, scroll.y)};
}

PressResult selection_press(SelectionFlags& flags) {
  flags.button_pressed = true;
  if (flags.selection_made) return PressResult::clear_on_release;
  flags.dragging = true;
  return PressResult::start_drag;
}

ReleaseResult selection_release(SelectionFlags& flags) {
  flags.dragging = false;
  ReleaseResult result = ReleaseResult::nothing;
  if (flags.button_pressed) {
    result = flags.selection_made ? ReleaseResult::clear_selection : ReleaseResult::end_drag;
    flags.selection_made = !flags.selection_made;
  }
  flags.button_pressed = false;
  return result;
}

}  // namespace murkel
