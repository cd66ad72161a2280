// Photos upright: the orientation tag of a JPEG's EXIF or a TIFF's first
// directory, and the eight turns and mirrors that apply it to the pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/pixels.h"

namespace murkel {

// The tag's values: how the stored rows lie against the upright picture.
// 1 upright; 2 mirrored left to right; 3 turned half round; 4 mirrored top
// to bottom; 5 mirrored about the diagonal from the top left; 6 turned a
// quarter anticlockwise (shown a quarter clockwise); 7 mirrored about the
// other diagonal; 8 turned a quarter clockwise (shown a quarter anticlockwise).
inline constexpr int kUpright = 1;

// The orientation of JPEG bytes (the first Exif APP1 segment before the
// image data) or TIFF bytes (tag 0x0112 of the first directory, either byte
// order): 1 to 8, and 1 when there is none, it is damaged or out of range,
// or the bytes are neither. Reads nothing outside [data, data + size).
[[nodiscard]] int picture_orientation(const std::uint8_t* data, std::size_t size);

// The orientation tag of a TIFF structure (a TIFF file, or the body of an
// Exif segment after "Exif\0\0"), as above.
[[nodiscard]] int tiff_orientation(const std::uint8_t* data, std::size_t size);

// Orientations 5 to 8 exchange width and height.
[[nodiscard]] constexpr bool orientation_swaps_sides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The upright picture's pixels (row-major, top row first) from the stored
// ones (width x height); an orientation outside 2 to 8 copies them.
// Instantiated for colours and for 8-bit values (an alpha plane).
template <typename T>
[[nodiscard]] std::vector<T> upright_pixels(const T* stored, std::int32_t width, std::int32_t height, int orientation);

// Turns the picture upright in place (width and height exchanged for 5 to
// 8). Leaves it as it was if memory runs out (std::bad_alloc).
void make_upright(Image& image, int orientation);

}  // namespace murkel
