// Scroll requests, scroll bar records and the resize rule along one axis of the canvas.
#include "core/canvas/scroll.h"

#include <algorithm>

#include "core/pixels.h"
#include "core/text/number_text.h"

namespace murkel {

std::int32_t scroll_maximum(std::int32_t picture_size, std::int32_t client_size) {
  return saturate(std::int64_t{picture_size} + 2 * kCanvasMargin - client_size);
}

bool axis_scrolls(std::int32_t picture_size, std::int32_t client_size) {
  return std::int64_t{client_size} < std::int64_t{picture_size} + 2 * kCanvasMargin;
}

std::int32_t scroll_request_offset(std::int32_t offset, int code, std::int32_t thumb,
                                   std::int32_t picture_size, std::int32_t client_size, std::int32_t line_step,
                                   std::int32_t page_step) {
  if (!axis_scrolls(picture_size, client_size)) return offset;
  const std::int64_t max = scroll_maximum(picture_size, client_size);
  const std::int64_t sx = offset;
  // Steps back stop at 0 and steps forward at max; an offset already above max
  // (left by a resize) steps back freely and forward onto max.
  switch (code) {
    case kScrollLineUp: return saturate(std::max<std::int64_t>(sx - line_step, 0));
    case kScrollLineDown: return saturate(std::min<std::int64_t>(sx + line_step, max));
    case kScrollPageUp: return saturate(std::max<std::int64_t>(sx - page_step, 0));
    case kScrollPageDown: return saturate(std::min<std::int64_t>(sx + page_step, max));
    case kScrollThumbPosition:
    case kScrollThumbTrack: return thumb;
    case kScrollTop: return 0;
    case kScrollBottom: return saturate(max);
    default: return offset;
  }
}

ScrollRecord scroll_request_record(std::int32_t offset, std::int32_t picture_size, std::int32_t client_size) {
  return ScrollRecord{0, scroll_maximum(picture_size, client_size), 1, offset};
}

ResizeAxis resize_axis(std::int32_t offset, std::int32_t picture_size, std::int32_t client_size) {
  if (axis_scrolls(picture_size, client_size))
    return ResizeAxis{false, scroll_request_record(offset, picture_size, client_size), offset};
  return ResizeAxis{true, ScrollRecord{}, 0};
}

ScrollRecord load_scroll_record(std::int32_t picture_size, std::int32_t client_size) {
  if (axis_scrolls(picture_size, client_size))
    return ScrollRecord{0, scroll_maximum(picture_size, client_size), 1, 0};
  return ScrollRecord{};
}

std::string position_text(std::int32_t image_x, std::int32_t image_y) {
  std::string text = "x:";
  text += number_to_text(image_x);
  text += ",y:";
  text += number_to_text(image_y);
  return text;
}

}  // namespace murkel
