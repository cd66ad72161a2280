// Pictures in and out through the platform's imaging component (WIC): PNG,
// JPEG, GIF and TIFF, for files and for the clipboard's PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/codecs/picture_format.h"
#include "core/pixels.h"

namespace murkel {

// A decoded picture: straight (not premultiplied) colours, and one alpha per
// pixel when any pixel is not opaque (else empty).
struct DecodedPicture {
  Image image;
  std::vector<std::uint8_t> alpha;
};

// The first frame (GIF) or page (TIFF) of any picture the platform decodes,
// 16-bit channels rounded to 8; with `png_only`, PNG bytes only. Nothing when
// no codec takes the bytes, they are damaged, the picture is larger than the
// editor opens, or memory is short.
[[nodiscard]] std::optional<DecodedPicture> decode_picture_bytes(const std::uint8_t* data, std::size_t size,
                                                                 bool png_only = false);

// The picture of PNG bytes, made opaque over white.
[[nodiscard]] std::optional<Image> decode_png_bytes(const std::uint8_t* data, std::size_t size);

// A PNG, JPEG (quality 95) or TIFF file of the picture: 8-bit RGB, or RGBA
// when `alpha` holds one value per pixel (PNG and TIFF; JPEG has no alpha).
// Only the pixels: the encoders are given no metadata. False when the
// platform cannot make one.
[[nodiscard]] bool encode_picture_bytes(const Image& image, const std::vector<std::uint8_t>& alpha,
                                        PictureFormat format, std::vector<std::uint8_t>& out);

// An 8-bit RGB PNG of the picture.
[[nodiscard]] bool encode_png_bytes(const Image& image, std::vector<std::uint8_t>& out);

}  // namespace murkel
