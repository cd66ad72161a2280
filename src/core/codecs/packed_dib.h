// Pictures as the clipboard carries them: packed device-independent bitmaps
// (an information header, its colour table or masks, then the rows, with no
// file header) and the straight 32-bit BGRA rows that picture decoders give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "core/pixels.h"

namespace murkel {

// Decodes a packed bitmap as the bitmap reader decodes a file: the pixels
// follow the header, its masks (after a 40-byte header with bit fields) and
// its colour table.
[[nodiscard]] DecodeResult decode_packed_dib(const std::uint8_t* data, std::size_t size,
                                             std::uint64_t max_decoded_bytes = kMaxDecodedBytes);

// The packed bitmap behind a file header with a zero pixel offset, which the
// reader takes as "the rows follow the masks and the colour table", where a
// packed bitmap has them. Empty when memory is short.
[[nodiscard]] std::vector<std::uint8_t> packed_dib_as_file(const std::uint8_t* data, std::size_t size);

// A 24-bit packed bitmap of the picture: the bitmap file without its 14-byte file header.
[[nodiscard]] EncodeResult encode_packed_dib24(const Image& image);

// Top-down rows of blue, green, red and straight (not premultiplied) alpha
// as an opaque picture: pixels that are not opaque are blended over white.
[[nodiscard]] Image bgra_over_white(const std::uint8_t* rows, std::int32_t width, std::int32_t height,
                                    std::size_t stride);

}  // namespace murkel
