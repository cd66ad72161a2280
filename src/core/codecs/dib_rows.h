// Reading and writing colours straight in the rows of a true-colour
// device-independent bitmap (3 or 4 bytes per pixel: blue, green, red, and
// an unused byte that is written 0).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pixels.h"

namespace murkel {

struct DibRows {
  std::uint8_t* top_row = nullptr;  // the picture's row 0
  std::ptrdiff_t stride = 0;        // bytes from one picture row to the next (negative when stored bottom-up)
  int bytes_per_pixel = 0;          // 3 or 4
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The colours of `region` (which lies within the picture), row-major.
void read_dib_rows(const DibRows& rows, const Rect& region, Colour* out);

// Writes a W x H block at `selection`; the parts outside the picture are dropped.
void write_dib_rows(const DibRows& rows, const Rect& selection, const Colour* block);

// Copies `region` of `from` (which lies within its picture) to the top-left
// corner of `to`, which has room for it, from 3 to 4 bytes a pixel or alike.
void copy_dib_rows(const DibRows& from, const Rect& region, const DibRows& to);

// Rows of colour table indices, 1, 4 or 8 bits a pixel (the first pixel in
// the high bits of its byte).
struct IndexedRows {
  const std::uint8_t* top_row = nullptr;
  std::ptrdiff_t stride = 0;
  int bits_per_pixel = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The colours of `region` (within the picture) into the top-left corner of
// `to` (4 bytes a pixel, which has room for it): each index's entry of
// `table` (blue, green, red and a fourth byte, as a bitmap's colour table
// holds them; the fourth is written 0). An index past the table gives black.
void expand_indexed_rows(const IndexedRows& from, const std::uint32_t* table, std::size_t table_size,
                         const Rect& region, const DibRows& to);

}  // namespace murkel
