// Scroll arithmetic of the canvas: scroll requests, scroll bar records, resize rule, coordinates.
#pragma once

#include <cstdint>
#include <string>

namespace murkel {

inline constexpr int kCanvasMargin = 5;  // gray margin about the picture
inline constexpr int kLineStep = 10, kPageStep = 1;

// The scroll bar record fields the canvas sets (min, max, page, pos).
struct ScrollRecord {
  std::int32_t min = 0, max = 0, page = 0, pos = 0;
  friend constexpr bool operator==(const ScrollRecord&, const ScrollRecord&) = default;
};

// Scroll request codes as the window system numbers them (SB_LINEUP..SB_BOTTOM).
enum ScrollCode : int {
  kScrollLineUp = 0,
  kScrollLineDown = 1,
  kScrollPageUp = 2,
  kScrollPageDown = 3,
  kScrollThumbPosition = 4,
  kScrollThumbTrack = 5,
  kScrollTop = 6,
  kScrollBottom = 7,
};

// Scroll range along one axis: picture + margins less the client size (may be <= 0).
// Saturates to the 32-bit range.
[[nodiscard]] std::int32_t scroll_maximum(std::int32_t picture_size, std::int32_t client_size);

// True when the client is narrower than the picture with its two margins, so the axis scrolls.
[[nodiscard]] bool axis_scrolls(std::int32_t picture_size, std::int32_t client_size);

// New offset along one axis for a scroll request code (0..7 as SB_LINEUP..SB_BOTTOM,
// others leave it unchanged); thumb is the thumb position (the high 16 bits of the
// request, unsigned, at 100 %). Nothing changes when the axis does not scroll.
// Zoomed, picture_size is the picture's size on the canvas (zoom.h) and the steps
// are those of the zoom.
[[nodiscard]] std::int32_t scroll_request_offset(std::int32_t offset, int code, std::int32_t thumb,
                                                 std::int32_t picture_size, std::int32_t client_size,
                                                 std::int32_t line_step = kLineStep,
                                                 std::int32_t page_step = kPageStep);

// Record applied after every scroll request: min 0, max picture+10-client (may be <= 0),
// page 1, pos offset.
[[nodiscard]] ScrollRecord scroll_request_record(std::int32_t offset, std::int32_t picture_size,
                                                 std::int32_t client_size);

// Resize rule for one axis. fits: the picture and its margins fit, the record is all 0,
// the offset becomes 0 and the caller redraws; otherwise the record gets the new range
// and the offset is kept, even above the new maximum.
struct ResizeAxis {
  bool fits;
  ScrollRecord record;
  std::int32_t offset;
};
[[nodiscard]] ResizeAxis resize_axis(std::int32_t offset, std::int32_t picture_size, std::int32_t client_size);

// The record a load sets: min 0, max picture+10-client, page 1, pos 0 when the axis
// scrolls, else all 0.
[[nodiscard]] ScrollRecord load_scroll_record(std::int32_t picture_size, std::int32_t client_size);

// Client <-> image coordinates along one axis: image = client - 5 + scroll.
// Computed in 64 bits and wrapped to 32, so extreme inputs are defined.
[[nodiscard]] constexpr std::int32_t client_to_image(std::int32_t client, std::int32_t scroll) {
  return static_cast<std::int32_t>(std::int64_t{client} - kCanvasMargin + scroll);
}
[[nodiscard]] constexpr std::int32_t image_to_client(std::int32_t image, std::int32_t scroll) {
  return static_cast<std::int32_t>(std::int64_t{image} + kCanvasMargin - scroll);
}

// Keeps the drag anchor on its image pixel when the offset changes:
// new anchor = anchor + anchor_scroll - offset.
[[nodiscard]] constexpr std::int32_t adjust_anchor(std::int32_t anchor, std::int32_t anchor_scroll,
                                                   std::int32_t offset) {
  return static_cast<std::int32_t>(std::int64_t{anchor} + anchor_scroll - offset);
}

// Last mouse position along one axis from a 16-bit half of the mouse message (unsigned) less the margin.
[[nodiscard]] constexpr std::int32_t mouse_coordinate(std::uint16_t half) {
  return std::int32_t{half} - kCanvasMargin;
}

// "x:N,y:N" text of the position field, image coordinates.
[[nodiscard]] std::string position_text(std::int32_t image_x, std::int32_t image_y);

}  // namespace murkel
