// Changing a selection once it is made: by keys (moved, its right and
// bottom edges sized), by dragging an edge or corner of its outline, and the
// whole picture. A changed selection always lies within the picture and
// keeps at least one pixel.
#pragma once

#include <cstdint>
#include <string>

#include "core/canvas/selection.h"
#include "core/pixels.h"

namespace murkel {

// Moved by (dx, dy) picture pixels, stopping at the picture's edges.
[[nodiscard]] Rect move_selection(const Rect& selection, std::int32_t dx, std::int32_t dy, Point picture_size);

// The right edge moved by dw and the bottom edge by dh pixels, staying
// within the picture and at least one pixel past the left and top edges.
[[nodiscard]] Rect size_selection(const Rect& selection, std::int32_t dw, std::int32_t dh, Point picture_size);

[[nodiscard]] constexpr Rect whole_picture(Point picture_size) {
  return Rect{0, 0, picture_size.x, picture_size.y};
}

// The part of `r` within the picture (empty when none).
[[nodiscard]] Rect cut_to_picture(const Rect& r, Point picture_size);

// The edges a press takes hold of: one edge, or two for a corner.
struct Grab {
  bool left = false, top = false, right = false, bottom = false;
  [[nodiscard]] constexpr bool any() const { return left || top || right || bottom; }
  friend constexpr bool operator==(const Grab&, const Grab&) = default;
};

// The edges of the outline within `reach` canvas pixels of client point
// `point`: an edge is in reach along its own length and `reach` beyond its
// ends. Of two opposite edges in reach (a narrow selection) the nearer
// holds, the right or bottom one when both are as near.
[[nodiscard]] Grab grab_at(const Outline& outline, Point point, std::int32_t reach = 3);

// The selection with the grabbed edges brought to the picture pixel `pixel`
// (the left and top edges to its left and top, the right and bottom ones
// past it), kept within the picture and at least one pixel wide and high:
// an edge stops one pixel before the opposite one.
[[nodiscard]] Rect drag_edges(const Rect& selection, Grab grab, Point pixel, Point picture_size);

// "(x1,y1)-(x2,y2)": the selection's first and last pixels, as the selection
// field shows one that was changed without a drag.
[[nodiscard]] std::string selection_corners_text(const Rect& selection);

}  // namespace murkel
