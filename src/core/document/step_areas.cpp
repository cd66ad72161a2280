// Areas of a history step and the exchange of their bytes.
#include "core/document/step_areas.h"

#include <algorithm>
#include <cstring>

namespace murkel {
namespace {

struct ByteSpan {
  std::ptrdiff_t first = 0, size = 0;
};

ByteSpan row_span(const RowBytes& rows, const Rect& area) {
  const std::int64_t bits = rows.bits_per_pixel;
  const std::int64_t first = area.left * bits / 8;
  const std::int64_t end = (area.right * bits + 7) / 8;
  return ByteSpan{static_cast<std::ptrdiff_t>(first), static_cast<std::ptrdiff_t>(end - first)};
}

}  // namespace

std::vector<Rect> step_areas(std::span<const Rect> rects, int bits_per_pixel, std::int32_t width,
                             std::int32_t height) {
  // Pixels a byte holds; widening to them keeps areas that share no pixel
  // from sharing a byte.
  const std::int32_t per_byte = bits_per_pixel < 8 ? 8 / bits_per_pixel : 1;
  std::vector<Rect> cut;
  std::vector<std::int32_t> rows;
  for (const Rect& r : rects) {
    Rect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width), std::min(r.bottom, height)};
    if (c.empty()) continue;
    c.left -= c.left % per_byte;
    c.right = std::min(width, (c.right + per_byte - 1) / per_byte * per_byte);
    cut.push_back(c);
    rows.push_back(c.top);
    rows.push_back(c.bottom);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

  // Bands between consecutive row edges; in each, the columns of every
  // rectangle crossing it merged into runs. A run that goes on unchanged
  // from the band above grows downwards instead of starting an area.
  std::vector<Rect> areas;
  std::vector<std::size_t> open;  // areas that reach the band's top, by index
  for (std::size_t b = 0; b + 1 < rows.size(); ++b) {
    const std::int32_t top = rows[b], bottom = rows[b + 1];
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    for (const Rect& c : cut) {
      if (c.top <= top && c.bottom >= bottom) runs.emplace_back(c.left, c.right);
    }
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<std::int32_t, std::int32_t>> merged;
    for (const auto& run : runs) {
      if (!merged.empty() && run.first <= merged.back().second) {
        merged.back().second = std::max(merged.back().second, run.second);
      } else {
        merged.push_back(run);
      }
    }
    std::vector<std::size_t> next_open;
    for (const auto& [left, right] : merged) {
      const auto same = std::find_if(open.begin(), open.end(), [&](std::size_t i) {
        return areas[i].left == left && areas[i].right == right && areas[i].bottom == top;
      });
      if (same != open.end()) {
        areas[*same].bottom = bottom;
        next_open.push_back(*same);
      } else {
        areas.push_back(Rect{left, top, right, bottom});
        next_open.push_back(areas.size() - 1);
      }
    }
    open = std::move(next_open);
  }
  return areas;
}

std::size_t area_row_bytes(const RowBytes& rows, const Rect& area) {
  return area.empty() ? 0 : static_cast<std::size_t>(row_span(rows, area).size);
}

std::size_t areas_bytes(const RowBytes& rows, std::span<const Rect> areas) {
  std::size_t total = 0;
  for (const Rect& a : areas) total += area_row_bytes(rows, a) * static_cast<std::size_t>(a.height());
  return total;
}

void copy_areas(const RowBytes& rows, std::span<const Rect> areas, std::uint8_t* out) {
  copy_area_rows(rows, areas, 0, rows.height, out);
}

void copy_area_rows(const RowBytes& rows, std::span<const Rect> areas, std::int32_t first_row, std::int32_t end_row,
                    std::uint8_t* out) {
  for (const Rect& a : areas) {
    const ByteSpan span = row_span(rows, a);
    const std::int32_t end = std::min(a.bottom, end_row);
    for (std::int32_t y = std::max(a.top, first_row); y < end; ++y) {
      std::memcpy(out + static_cast<std::ptrdiff_t>(y - a.top) * span.size, rows.top_row + y * rows.stride + span.first,
                  static_cast<std::size_t>(span.size));
    }
    out += static_cast<std::ptrdiff_t>(a.height()) * span.size;
  }
}

void exchange_areas(const RowBytes& rows, std::span<const Rect> areas, std::uint8_t* kept) {
  for (const Rect& a : areas) {
    const ByteSpan span = row_span(rows, a);
    for (std::int32_t y = a.top; y < a.bottom; ++y, kept += span.size) {
      std::uint8_t* row = rows.top_row + y * rows.stride + span.first;
      std::swap_ranges(row, row + span.size, kept);
    }
  }
}

}  // namespace murkel
