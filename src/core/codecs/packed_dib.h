// Pictures as the clipboard carries them: packed device-independent bitmaps
// (an information header, its colour table or masks, then the rows, with no
// file header).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "core/pixels.h"

namespace murkel {

// The packed bitmap behind a file header with a zero pixel offset, which the
// bitmap reader takes as "the rows follow the header, its masks (after a
// 40-byte header with bit fields) and the colour table", where a packed
// bitmap has them. Empty when memory is short.
[[nodiscard]] std::vector<std::uint8_t> packed_dib_as_file(const std::uint8_t* data, std::size_t size);

// A 24-bit packed bitmap of the picture: the bitmap file without its 14-byte file header.
[[nodiscard]] EncodeResult encode_packed_dib24(const Image& image);

}  // namespace murkel
