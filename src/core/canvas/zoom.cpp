// Zoom levels, fit, and the picture <-> canvas client transform along each axis.
#include "core/canvas/zoom.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>

#include "core/canvas/scroll.h"
#include "core/text/number_text.h"

namespace murkel {

namespace {

constexpr std::array<Zoom, 16> kLevels{{{1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 4}, {1, 3}, {1, 2}, {2, 3},
                                        {1, 1}, {2, 1}, {3, 1}, {4, 1}, {6, 1}, {8, 1}, {12, 1}, {16, 1}}};
constexpr std::int32_t kMaxZoom = kLevels.back().num;
// A fit below 100 % is a multiple of 1/kFitUnit: small terms keep every
// product of the transform well inside 64 bits.
constexpr std::int64_t kFitUnit = 4096;

// Division rounding toward minus infinity and toward plus infinity; b > 0.
constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
constexpr std::int64_t ceil_div(std::int64_t a, std::int64_t b) { return -floor_div(-a, b); }

bool less(Zoom a, Zoom b) { return std::int64_t{a.num} * b.den < std::int64_t{b.num} * a.den; }

Zoom reduced(std::int64_t num, std::int64_t den) {
  const std::int64_t g = std::gcd(num, den);
  return Zoom{static_cast<std::int32_t>(num / g), static_cast<std::int32_t>(den / g)};
}

// Zoomed coordinate of client coordinate `client`.
constexpr std::int64_t zoomed_of_client(std::int32_t client, std::int32_t scroll) {
  return std::int64_t{client} - kCanvasMargin + scroll;
}

std::int64_t first_picture(std::int64_t zoomed, Zoom zoom) { return floor_div(zoomed * zoom.den, zoom.num); }
std::int64_t last_picture(std::int64_t zoomed, Zoom zoom) { return ceil_div((zoomed + 1) * zoom.den, zoom.num) - 1; }
std::int64_t zoomed_start(std::int64_t picture, Zoom zoom) { return floor_div(picture * zoom.num, zoom.den); }
std::int64_t zoomed_end(std::int64_t picture, Zoom zoom) { return ceil_div(picture * zoom.num, zoom.den); }

// One axis of a drag: the picture pixels shown from client lo to client hi.
void drag_span(std::int32_t a, std::int32_t b, std::int32_t scroll, Zoom zoom, std::int32_t size, std::int32_t& first,
               std::int32_t& end) {
  const std::int64_t lo = first_picture(zoomed_of_client(std::min(a, b), scroll), zoom);
  const std::int64_t hi = last_picture(zoomed_of_client(std::max(a, b), scroll), zoom) + 1;
  first = saturate(lo);
  // A zoomed-out canvas pixel at the picture's edge shows less than a whole block.
  end = saturate(std::min(hi, std::max<std::int64_t>(size, lo + 1)));
}

}  // namespace

Zoom zoom_in(Zoom zoom) {
  for (const Zoom level : kLevels)
    if (less(zoom, level)) return level;
  return kLevels.back();
}

Zoom zoom_out(Zoom zoom) {
  for (auto it = kLevels.rbegin(); it != kLevels.rend(); ++it)
    if (less(*it, zoom)) return *it;
  return kLevels.front();
}

std::int32_t wheel_zoom_levels(std::int32_t& turned, std::int32_t delta) {
  constexpr std::int32_t kNotch = 120;
  if ((turned < 0 && delta > 0) || (turned > 0 && delta < 0)) turned = 0;
  turned = saturate(std::int64_t{turned} + delta);
  const std::int32_t levels = turned / kNotch;
  turned -= levels * kNotch;
  return levels;
}

Zoom fit_zoom(Point picture_size, Point client_size) {
  if (picture_size.x <= 0 || picture_size.y <= 0) return kActualSize;
  const std::int64_t room_x = std::int64_t{client_size.x} - 2 * kCanvasMargin;
  const std::int64_t room_y = std::int64_t{client_size.y} - 2 * kCanvasMargin;
  if (room_x >= picture_size.x && room_y >= picture_size.y) {
    const std::int64_t times = std::min({room_x / picture_size.x, room_y / picture_size.y, std::int64_t{kMaxZoom}});
    return Zoom{static_cast<std::int32_t>(times), 1};
  }
  const std::int64_t units = std::min(floor_div(room_x * kFitUnit, picture_size.x),
                                      floor_div(room_y * kFitUnit, picture_size.y));
  return reduced(std::max(units, kFitUnit / kMaxZoom), kFitUnit);
}

std::string zoom_text(Zoom zoom) {
  const std::int64_t hundredths = (std::int64_t{zoom.num} * 20000 + zoom.den) / (2 * std::int64_t{zoom.den});
  std::string text = number_to_text(static_cast<double>(hundredths / 100));
  const std::int64_t fraction = hundredths % 100;
  if (fraction != 0) {
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return text + '%';
}

std::int32_t zoomed_size(std::int32_t picture_size, Zoom zoom) { return saturate(zoomed_end(picture_size, zoom)); }

std::int32_t client_to_picture(std::int32_t client, std::int32_t scroll, Zoom zoom) {
  return saturate(first_picture(zoomed_of_client(client, scroll), zoom));
}

std::int32_t client_to_picture_last(std::int32_t client, std::int32_t scroll, Zoom zoom) {
  return saturate(last_picture(zoomed_of_client(client, scroll), zoom));
}

std::int32_t picture_to_client(std::int32_t picture, std::int32_t scroll, Zoom zoom) {
  return saturate(zoomed_start(picture, zoom) + kCanvasMargin - scroll);
}

std::int32_t line_step(Zoom zoom) { return zoom.num > zoom.den ? kLineStep * zoom.num / zoom.den : kLineStep; }
std::int32_t page_step(Zoom zoom) { return zoom.num > zoom.den ? kPageStep * zoom.num / zoom.den : kPageStep; }

std::int32_t scroll_after_zoom(std::int32_t client, std::int32_t scroll, Zoom from, Zoom to,
                               std::int32_t picture_size, std::int32_t client_size) {
  const std::int32_t size = zoomed_size(picture_size, to);
  if (!axis_scrolls(size, client_size)) return 0;
  // The start of the canvas pixel under the cursor, carried to the new zoom.
  const std::int64_t zoomed = zoomed_of_client(client, scroll);
  const std::int64_t moved = floor_div(zoomed * from.den * to.num, std::int64_t{from.num} * to.den);
  const std::int64_t offset = moved - (std::int64_t{client} - kCanvasMargin);
  return saturate(std::clamp<std::int64_t>(offset, 0, std::max(0, scroll_maximum(size, client_size))));
}

ViewBlock visible_picture(Point picture_size, Zoom zoom, Point scroll, Point client_size) {
  const std::int64_t left = std::max<std::int64_t>(0, std::int64_t{kCanvasMargin} - scroll.x);
  const std::int64_t top = std::max<std::int64_t>(0, std::int64_t{kCanvasMargin} - scroll.y);
  const std::int64_t right =
      std::min<std::int64_t>(client_size.x, zoomed_end(picture_size.x, zoom) + kCanvasMargin - scroll.x);
  const std::int64_t bottom =
      std::min<std::int64_t>(client_size.y, zoomed_end(picture_size.y, zoom) + kCanvasMargin - scroll.y);
  if (right <= left || bottom <= top) return ViewBlock{};
  const std::int64_t dx = std::int64_t{scroll.x} - kCanvasMargin, dy = std::int64_t{scroll.y} - kCanvasMargin;
  return ViewBlock{Rect{saturate(left), saturate(top), saturate(right), saturate(bottom)},
                   Rect{saturate(left + dx), saturate(top + dy), saturate(right + dx), saturate(bottom + dy)}};
}

Rect picture_area_shown(const Rect& zoomed, Zoom zoom, Point picture_size) {
  const auto first = [&](std::int32_t z) { return saturate(floor_div(first_picture(z, zoom), zoom.den) * zoom.den); };
  const auto end = [&](std::int32_t z, std::int32_t size) {
    return saturate(std::min<std::int64_t>(size, last_picture(std::int64_t{z} - 1, zoom) + 1));
  };
  return Rect{first(zoomed.left), first(zoomed.top), end(zoomed.right, picture_size.x),
              end(zoomed.bottom, picture_size.y)};
}

Rect selection_from_drag(Point anchor_client, Point point_client, Point scroll, Zoom zoom, Point picture_size) {
  Rect r;
  drag_span(anchor_client.x, point_client.x, scroll.x, zoom, picture_size.x, r.left, r.right);
  drag_span(anchor_client.y, point_client.y, scroll.y, zoom, picture_size.y, r.top, r.bottom);
  return r;
}

std::string selection_text(Point anchor_client, Point point_client, Point scroll, Point drag_start_scroll,
                           Zoom zoom, Point picture_size) {
  const Rect r = selection_from_drag(anchor_client, point_client, scroll, zoom, picture_size);
  // The anchor's corner is on the lower side when the point is not below it.
  const auto corner = [&](bool lower, std::int32_t first, std::int32_t end, std::int32_t at_press) {
    const std::int64_t picture = lower ? first : std::int64_t{end} - 1;
    return number_to_text(static_cast<double>(picture - first_picture(at_press, zoom)));
  };
  const bool left_x = anchor_client.x <= point_client.x, top_y = anchor_client.y <= point_client.y;
  std::string text = "(";
  text += corner(left_x, r.left, r.right, drag_start_scroll.x);
  text += ',';
  text += corner(top_y, r.top, r.bottom, drag_start_scroll.y);
  text += ")-(";
  text += corner(!left_x, r.left, r.right, drag_start_scroll.x);
  text += ',';
  text += corner(!top_y, r.top, r.bottom, drag_start_scroll.y);
  text += ')';
  return text;
}

Outline selection_outline(const Rect& selection, Point scroll, Zoom zoom) {
  const auto start = [&](std::int32_t p, std::int32_t s) {
    return saturate(zoomed_start(p, zoom) + kCanvasMargin - s);
  };
  const auto last = [&](std::int32_t p, std::int32_t s) {
    return saturate(zoomed_end(p, zoom) - 1 + kCanvasMargin - s);
  };
  return Outline{Point{start(selection.left, scroll.x), start(selection.top, scroll.y)},
                 Point{last(selection.right, scroll.x), last(selection.bottom, scroll.y)}};
}

std::int32_t scroll_to_centre(std::int32_t first, std::int32_t last, Zoom zoom, std::int32_t picture_size,
                              std::int32_t client_size) {
  const std::int64_t middle = (std::int64_t{zoomed_size(first, zoom)} + zoomed_size(last, zoom)) / 2;
  const std::int64_t wanted = middle + kCanvasMargin - client_size / 2;
  const std::int64_t most = scroll_maximum(zoomed_size(picture_size, zoom), client_size);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, std::max<std::int64_t>(most, 0)));
}

}  // namespace murkel
