// The zoomed picture's pixels for the canvas: reduced by averaging, enlarged
// into whole squares, or copied at 100 %.
#pragma once

#include <cstdint>
#include <vector>

#include "core/canvas/zoom.h"
#include "core/codecs/dib_rows.h"
#include "core/pixels.h"

namespace murkel {

// Working space of draw_zoomed, kept by the caller from one redraw to the
// next: once it has grown to the largest block, a redraw allocates nothing.
struct ZoomScratch {
  struct Tap {
    std::int32_t first = 0, count = 0;  // picture pixels first .. first + count - 1
    std::int32_t weights = 0;           // index of their first weight
  };
  std::vector<Tap> columns, rows;
  std::vector<std::uint16_t> column_weights, row_weights;
  std::vector<std::uint16_t> wide;  // the column weights as the row's sums are weighed
  std::vector<std::uint16_t> sums;  // one row of column sums, per byte of the picture's rows
  std::vector<const std::uint8_t*> row_starts;
  // What `columns` were planned for (first and end canvas column, picture
  // width, zoom): a block drawn in bands of rows plans them once.
  std::int64_t planned_columns[5] = {-1, -1, -1, -1, -1};
};

// Draws the canvas pixels `zoomed` (zoomed coordinates, within the picture's
// zoomed size, as visible_picture gives them) of `picture` (3 or 4 bytes a
// pixel) into the top-left corner of `to` (4 bytes a pixel: blue, green, red
// and 0, or at 100 % the picture's own fourth byte), which has room for the block.
// Zoomed out, each canvas pixel is the average of the picture area it covers,
// every picture pixel weighted by how much of it lies there, so that no row
// or column is left out; zoomed in (a whole number), each picture pixel is a
// square of that many canvas pixels; at 100 % the rows are copied.
void draw_zoomed(const DibRows& picture, Zoom zoom, const Rect& zoomed, const DibRows& to, ZoomScratch& scratch);

}  // namespace murkel
