// Pictures in and out through the platform's imaging component (WIC): PNG,
// JPEG, GIF and TIFF, for the editor's files and the clipboard's PNG, and
// murkel-cli's in its Windows build (which also reads WebP and HEIF where
// the system has their codecs).
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

// Why a decoding gave nothing.
enum class DecodeFailure { none, not_a_picture, too_large, no_codec, damaged, memory };

struct DecodeOptions {
  bool png_only = false;       // PNG bytes only (the clipboard's)
  bool webp_and_heif = false;  // WebP and HEIF too, by their signatures, where the system decodes them
  bool to_srgb = false;        // colours of a picture with a colour profile converted to sRGB
  DecodeFailure* failure = nullptr;  // when given, gets why nothing came
};

// The first frame (GIF) or page (TIFF) of any picture the platform decodes,
// 16-bit channels rounded to 8. Nothing when no codec takes the bytes, they
// are damaged, the picture is larger than the editor opens, or memory is
// short. The size the file claims is checked before any pixel is decoded.
[[nodiscard]] std::optional<DecodedPicture> decode_picture_bytes(const std::uint8_t* data, std::size_t size,
                                                                 const DecodeOptions& options = {});

// The picture of PNG bytes, made opaque over white.
[[nodiscard]] std::optional<Image> decode_png_bytes(const std::uint8_t* data, std::size_t size);

// A PNG, JPEG (quality 95 unless told, 1..100) or TIFF file of the picture:
// 8-bit RGB, or RGBA when `alpha` holds one value per pixel (PNG and TIFF;
// JPEG has no alpha). Only the pixels: the encoders are given no metadata.
// False when the platform cannot make one.
[[nodiscard]] bool encode_picture_bytes(const Image& image, const std::vector<std::uint8_t>& alpha,
                                        PictureFormat format, std::vector<std::uint8_t>& out, int jpeg_quality = 95);

// An 8-bit RGB PNG of the picture.
[[nodiscard]] bool encode_png_bytes(const Image& image, std::vector<std::uint8_t>& out);

// Every failure to get memory is noted on its thread, here and by the
// editor's own calls; take_memory_short() reads the flag and clears it (the
// editor then tells the user, or frees its blocks and tries again).
void note_memory_short();
bool take_memory_short();

}  // namespace murkel
