// Device-independent bitmaps in memory (DIB sections): the 32-bit rows the
// editor asks GDI for, and where a section keeps its rows.
#pragma once

#include <windows.h>

#include <optional>

#include "core/codecs/dib_rows.h"

namespace murkel {

// The header of 32-bit rows of blue, green, red and an unused byte, top row first.
inline BITMAPINFOHEADER top_down_32bit_header(LONG width, LONG height) {
  return BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
}

struct DibSection {
  DIBSECTION description;
  DibRows rows;  // row 0 of the picture, rows apart by a negative stride when stored bottom-up
};

// The description and rows of `bitmap`, drawing still queued for it landed
// first; nullopt when it is no DIB section.
std::optional<DibSection> dib_section(HBITMAP bitmap);

// The rows of a surface's bitmap when it keeps 24- or 32-bit colours in
// memory: the effects read and write them there, several times faster than
// a GDI transfer, and their blocks are plain runs of pixels. Otherwise GDI
// copies by rows, into blocks of rows and columns enough. Takes the view lock.
std::optional<DibRows> true_colour_rows(HDC surface);

}  // namespace murkel
