// The view's zoom: one transform between picture and canvas client
// coordinates, its levels, fit, scrolling and the selection drawn on it.
//
// The canvas shows the zoomed picture (zoomed coordinates: a picture pixel p
// covers [p * num / den, (p + 1) * num / den)) with the gray margin of 5
// canvas pixels about it; the scroll offset counts canvas pixels. Client
// point c shows zoomed pixel c - 5 + scroll. At 100 % every function here
// gives what scroll.h and selection.h give.
#pragma once

#include <cstdint>
#include <string>

#include "core/canvas/selection.h"
#include "core/pixels.h"

namespace murkel {

// One picture pixel spans num / den canvas pixels. Kept in lowest terms, so
// that == compares levels. Zoomed in, den is 1 (pixels are whole squares).
struct Zoom {
  std::int32_t num = 1, den = 1;
  friend constexpr bool operator==(const Zoom&, const Zoom&) = default;
};

inline constexpr Zoom kActualSize{1, 1};

// The next level above (below) `zoom`, which need not be a level itself (a
// fit). The levels: 1/16, 1/12, 1/8, 1/6, 1/4, 1/3, 1/2, 2/3, 1, 2, 3, 4, 6,
// 8, 12, 16; the highest (lowest) level stays.
[[nodiscard]] Zoom zoom_in(Zoom zoom);
[[nodiscard]] Zoom zoom_out(Zoom zoom);

// Ctrl+wheel: the wheel's deltas add up in `turned`, and every whole 120
// (one notch) either way is one level, away from the user (positive) in;
// what is left waits for the next delta. A turn the other way starts anew.
// The levels to go: positive in, negative out.
[[nodiscard]] std::int32_t wheel_zoom_levels(std::int32_t& turned, std::int32_t delta);

// The largest zoom at which the picture with its margins fits the client
// area: a whole number up to 16 when the picture is smaller, else a fraction
// (at most 1/4096 below the exact fit), but never below 1/16. 100 % without
// a picture.
[[nodiscard]] Zoom fit_zoom(Point picture_size, Point client_size);

// "100%", "1600%", "6.25%", "33.33%": the zoom in percent, to at most two decimals.
[[nodiscard]] std::string zoom_text(Zoom zoom);

// The picture's width or height on the canvas: every canvas pixel that shows
// part of it (size * num / den, rounded up). Saturates to the 32-bit range.
[[nodiscard]] std::int32_t zoomed_size(std::int32_t picture_size, Zoom zoom);

// The first picture pixel that canvas client coordinate `client` shows, and
// the last (the same pixel unless zoomed out, where a canvas pixel shows
// several). Outside the picture they go on past its edges.
[[nodiscard]] std::int32_t client_to_picture(std::int32_t client, std::int32_t scroll, Zoom zoom);
[[nodiscard]] std::int32_t client_to_picture_last(std::int32_t client, std::int32_t scroll, Zoom zoom);

// The first client coordinate that shows picture pixel `picture`.
[[nodiscard]] std::int32_t picture_to_client(std::int32_t picture, std::int32_t scroll, Zoom zoom);

// Scroll steps in canvas pixels: a line step is 10 canvas pixels, or 10
// picture pixels when zoomed in; a page step 1 canvas pixel, or 1 picture
// pixel when zoomed in. (Pass them to scroll_request_offset with the zoomed size.)
[[nodiscard]] std::int32_t line_step(Zoom zoom);
[[nodiscard]] std::int32_t page_step(Zoom zoom);

// The scroll offset along one axis after changing the zoom from `from` to
// `to` so that the picture point under client coordinate `client` stays
// under it; kept between 0 and the new maximum, and 0 where the picture
// then fits (as the resize rule has it).
[[nodiscard]] std::int32_t scroll_after_zoom(std::int32_t client, std::int32_t scroll, Zoom from, Zoom to,
                                             std::int32_t picture_size, std::int32_t client_size);

// Where the picture shows on the canvas: `client` the client rectangle it
// covers (clipped to the client area), `zoomed` the same canvas pixels in
// zoomed coordinates. Both empty when none of it shows.
struct ViewBlock {
  Rect client, zoomed;
  friend constexpr bool operator==(const ViewBlock&, const ViewBlock&) = default;
};
[[nodiscard]] ViewBlock visible_picture(Point picture_size, Zoom zoom, Point scroll, Point client_size);

// The picture pixels that the canvas pixels `zoomed` show, widened to the
// left and top to a pixel where a canvas pixel starts: a copy of this area
// alone draws them as `zoomed` moved by minus zoomed_size(left) and
// zoomed_size(top) of the area (for a picture that is not in memory as rows).
[[nodiscard]] Rect picture_area_shown(const Rect& zoomed, Zoom zoom, Point picture_size);

// The selection a drag selects: every picture pixel shown between the two
// client points (clamped with clamp_drag_point and the zoomed size), both
// ends included; right and bottom exclusive and at most the picture size.
[[nodiscard]] Rect selection_from_drag(Point anchor_client, Point point_client, Point scroll, Zoom zoom,
                                       Point picture_size);

// "(x1,y1)-(x2,y2)": the corners of that selection on the anchor's and the
// point's side, less the scroll offset of the press in picture pixels.
[[nodiscard]] std::string selection_text(Point anchor_client, Point point_client, Point scroll,
                                         Point drag_start_scroll, Zoom zoom, Point picture_size);

// Outline corners in client coordinates over the canvas pixels that show
// the selection's border pixels.
[[nodiscard]] Outline selection_outline(const Rect& selection, Point scroll, Zoom zoom);

// The scroll offset along one axis that puts picture pixels first..last
// (exclusive) in the middle of the client, within the scroll range.
[[nodiscard]] std::int32_t scroll_to_centre(std::int32_t first, std::int32_t last, Zoom zoom,
                                            std::int32_t picture_size, std::int32_t client_size);

}  // namespace murkel
