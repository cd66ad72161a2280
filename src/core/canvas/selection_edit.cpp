// Selection moves, sizes and edge drags.
#include "core/canvas/selection_edit.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/text/number_text.h"

namespace murkel {
namespace {

// One axis of a move: the shift kept so that [first, end) stays within [0, size).
std::int64_t held_shift(std::int64_t first, std::int64_t end, std::int64_t shift, std::int64_t size) {
  return std::clamp(shift, -first, std::max<std::int64_t>(size - end, -first));
}

// Which of two opposite edges at `low` and `high` `p` is in reach of: -1,
// 1, or 0 for neither. The one at `high` wins a tie.
int edge_in_reach(std::int32_t p, std::int32_t low, std::int32_t high, std::int32_t reach) {
  const std::int64_t to_low = std::llabs(std::int64_t{p} - low), to_high = std::llabs(std::int64_t{p} - high);
  if (to_high <= reach && to_high <= to_low) return 1;
  if (to_low <= reach) return -1;
  return 0;
}

bool along(std::int32_t p, std::int32_t low, std::int32_t high, std::int32_t reach) {
  return std::int64_t{p} >= std::int64_t{low} - reach && std::int64_t{p} <= std::int64_t{high} + reach;
}

}  // namespace

Rect move_selection(const Rect& s, std::int32_t dx, std::int32_t dy, Point picture_size) {
  const std::int64_t x = held_shift(s.left, s.right, dx, picture_size.x);
  const std::int64_t y = held_shift(s.top, s.bottom, dy, picture_size.y);
  return Rect{saturate(s.left + x), saturate(s.top + y), saturate(s.right + x), saturate(s.bottom + y)};
}

Rect size_selection(const Rect& s, std::int32_t dw, std::int32_t dh, Point picture_size) {
  const auto edge = [](std::int32_t first, std::int32_t end, std::int32_t change, std::int32_t size) {
    const std::int64_t low = std::int64_t{first} + 1, high = std::max<std::int64_t>(size, low);
    return saturate(std::clamp(std::int64_t{end} + change, low, high));
  };
  return Rect{s.left, s.top, edge(s.left, s.right, dw, picture_size.x), edge(s.top, s.bottom, dh, picture_size.y)};
}

Rect cut_to_picture(const Rect& r, Point size) {
  const Rect cut{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, size.x), std::min(r.bottom, size.y)};
  return cut.empty() ? Rect{} : cut;
}

Grab grab_at(const Outline& o, Point p, std::int32_t reach) {
  Grab grab;
  if (along(p.y, o.top_left.y, o.bottom_right.y, reach)) {
    const int side = edge_in_reach(p.x, o.top_left.x, o.bottom_right.x, reach);
    grab.left = side < 0;
    grab.right = side > 0;
  }
  if (along(p.x, o.top_left.x, o.bottom_right.x, reach)) {
    const int side = edge_in_reach(p.y, o.top_left.y, o.bottom_right.y, reach);
    grab.top = side < 0;
    grab.bottom = side > 0;
  }
  return grab;
}

Rect drag_edges(const Rect& s, Grab grab, Point pixel, Point picture_size) {
  Rect r = s;
  const auto clamp = [](std::int64_t v, std::int64_t low, std::int64_t high) {
    return saturate(std::clamp(v, low, std::max(low, high)));
  };
  if (grab.left) r.left = clamp(pixel.x, 0, std::int64_t{r.right} - 1);
  if (grab.right) r.right = clamp(std::int64_t{pixel.x} + 1, std::int64_t{r.left} + 1, picture_size.x);
  if (grab.top) r.top = clamp(pixel.y, 0, std::int64_t{r.bottom} - 1);
  if (grab.bottom) r.bottom = clamp(std::int64_t{pixel.y} + 1, std::int64_t{r.top} + 1, picture_size.y);
  return r;
}

std::string selection_corners_text(const Rect& s) {
  const auto number = [](std::int64_t v) { return number_to_text(static_cast<double>(v)); };
  std::string text = "(";
  text += number(s.left);
  text += ',';
  text += number(s.top);
  text += ")-(";
  text += number(std::int64_t{s.right} - 1);
  text += ',';
  text += number(std::int64_t{s.bottom} - 1);
  text += ')';
  return text;
}

}  // namespace murkel
