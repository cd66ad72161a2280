// The native build's pictures beyond bitmap and PNG: JPEG, WebP, TIFF, GIF
// and HEIF in; JPEG and WebP out. Through Debian's libraries, never the
// platform's, and nothing of a file's metadata reaches a file we write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/picture_io.h"

namespace murkel::cli {

// The format the bytes are by their signature: "JPEG", "WebP", "TIFF",
// "GIF", "HEIF", or nullptr for none of them.
[[nodiscard]] const char* native_format_of(const std::uint8_t* data, std::size_t size);

// Decodes the bytes into upright 8-bit colours (and alpha where the file has
// transparency), converted to sRGB where the file carries a colour profile.
// The size the file claims is checked before anything is decoded. `lossless`
// tells whether the file kept its pixels exactly (for the WebP output).
// Returns an empty string or the reason.
[[nodiscard]] std::string decode_native(const std::uint8_t* data, std::size_t size, Picture& picture, bool& lossless);

// The picture's colours, in the profile's colour space, become sRGB: an RGB
// profile, or a grey one on a grey picture. A profile that lcms2 cannot use
// leaves them as they are; the alpha is kept.
void convert_to_srgb(Picture& picture, const std::vector<std::uint8_t>& profile);

// A baseline JPEG (JFIF, 4:2:0, no other marker) of quality 1..100; alpha is
// blended over white first.
[[nodiscard]] std::string encode_jpeg_into(Picture& picture, int quality, std::vector<std::uint8_t>& out);

// A WebP file: lossless, or lossy at quality 0..100; alpha kept.
[[nodiscard]] std::string encode_webp_into(const Picture& picture, bool lossless, int quality,
                                           std::vector<std::uint8_t>& out);

}  // namespace murkel::cli
