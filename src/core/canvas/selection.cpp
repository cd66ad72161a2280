// Clamp rule, press/release flags, stored rectangle, selection text and outline of a drag.
#include "core/canvas/selection.h"

#include <algorithm>

#include "core/canvas/scroll.h"
#include "core/text/number_text.h"

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

Rect selection_from_drag(Point anchor_client, Point point_client, Point scroll) {
  Rect r;
  r.left = client_to_image(anchor_client.x, scroll.x);
  r.top = client_to_image(anchor_client.y, scroll.y);
  r.right = client_to_image(point_client.x, scroll.x);
  r.bottom = client_to_image(point_client.y, scroll.y);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  if (r.left > r.right) std::swap(r.left, r.right);
  r.bottom = wrap(std::int64_t{r.bottom} + 1);
  r.right = wrap(std::int64_t{r.right} + 1);
  return r;
}

std::string selection_text(Point anchor_client, Point point_client, Point scroll, Point drag_start_scroll) {
  // Image coordinate less the offset of the press.
  const auto corner = [](std::int32_t client, std::int32_t now, std::int32_t at_press) {
    return number_to_text(static_cast<double>(std::int64_t{client_to_image(client, now)} - at_press));
  };
  std::string text = "(";
  text += corner(anchor_client.x, scroll.x, drag_start_scroll.x);
  text += ',';
  text += corner(anchor_client.y, scroll.y, drag_start_scroll.y);
  text += ")-(";
  text += corner(point_client.x, scroll.x, drag_start_scroll.x);
  text += ',';
  text += corner(point_client.y, scroll.y, drag_start_scroll.y);
  text += ')';
  return text;
}

Outline selection_outline(const Rect& selection, Point scroll) {
  return Outline{
      Point{image_to_client(selection.left, scroll.x), image_to_client(selection.top, scroll.y)},
      Point{wrap(std::int64_t{image_to_client(selection.right, scroll.x)} - 1),
            wrap(std::int64_t{image_to_client(selection.bottom, scroll.y)} - 1)}};
}

}  // namespace murkel
