// What one step of the history keeps of the picture: the bytes of the rows
// under the rectangles it changed, exchanged in place when it is taken back
// or done again. Rows are kept in the picture's own format, so that a
// picture of any pixel format comes back exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/pixels.h"

namespace murkel {

// Rows of a picture in memory, any bits a pixel (1 to 32).
struct RowBytes {
  std::uint8_t* top_row = nullptr;  // the picture's row 0
  std::ptrdiff_t stride = 0;        // bytes from one row to the next (negative when stored bottom-up)
  int bits_per_pixel = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// `rects` cut to the picture, widened to whole bytes of its rows (pictures
// of fewer than 8 bits a pixel share bytes between pixels), then split so
// that no two areas share a byte: each one's bytes are exchanged once.
[[nodiscard]] std::vector<Rect> step_areas(std::span<const Rect> rects, int bits_per_pixel, std::int32_t width,
                                           std::int32_t height);

// The bytes `area` covers in each of its rows.
[[nodiscard]] std::size_t area_row_bytes(const RowBytes& rows, const Rect& area);
[[nodiscard]] std::size_t areas_bytes(const RowBytes& rows, std::span<const Rect> areas);

// Copies the areas' bytes, one area after the other, row by row, to `out`.
void copy_areas(const RowBytes& rows, std::span<const Rect> areas, std::uint8_t* out);
// The same for the picture rows [first_row, end_row) alone, each to its place
// in that layout: a change that goes down the picture a band at a time keeps
// each band's bytes while they are in the processor's cache.
void copy_area_rows(const RowBytes& rows, std::span<const Rect> areas, std::int32_t first_row, std::int32_t end_row,
                    std::uint8_t* out);
// Exchanges the areas' bytes with those `kept` holds (as copy_areas laid them out).
void exchange_areas(const RowBytes& rows, std::span<const Rect> areas, std::uint8_t* kept);

// A buffer of bytes that are not cleared when it is made (a step's copy
// overwrites them all at once).
struct ByteBuffer {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
  // Throws std::bad_alloc.
  static ByteBuffer of_size(std::size_t size) {
    return ByteBuffer{size ? std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]) : nullptr, size};
  }
};

}  // namespace murkel
