// Picture files of every format the editor opens and saves.
#pragma once

#include <windows.h>

#include <optional>

#include "core/document/transparency.h"
#include "core/pixels.h"

namespace murkel {

// Whether the file starts as a bitmap file does: those go through our own
// reader, whatever their name, every other picture through WIC.
[[nodiscard]] bool is_bitmap_file(const wchar_t* path);

// The picture of a file through WIC as a new 24-bit DIB section shown over
// white, turned upright as a JPEG's or TIFF's orientation tag says, its
// transparency in `transparency` (empty for an opaque picture).
// nullptr when no codec takes the file, it is damaged or too large, or
// memory is short.
[[nodiscard]] HBITMAP load_wic_picture(const wchar_t* path, Transparency& transparency);

// The working image's pixels in `area` (within the picture) as colours, top
// row first: memory for the area and at most a megabyte more (std::bad_alloc
// when there is none; nullopt when GDI has no block for its rows).
[[nodiscard]] std::optional<Image> read_working_pixels(const Rect& area);

// Writes the working image's picture to `path` in the format its name says
// (.bmp, .png, .jpg/.jpeg, .tif/.tiff), with the document's transparency
// where the format has one; into a temporary file that then replaces the
// target. A failure (an extension of no format we write included) is told to
// the user; the result says whether the file was written.
[[nodiscard]] bool write_picture_file(const wchar_t* path);

}  // namespace murkel
