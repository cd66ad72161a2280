// Decodes PNG files through libpng into a 0x00BBGGRR picture and an alpha plane.
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/codecs/png_codec.h"

namespace murkel {
namespace {

struct ReadState {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t at = 0;
  char error[160] = {};
};

void on_error(png_structp png, png_const_charp message) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(state->error, sizeof state->error, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_read(png_structp png, png_bytep out, std::size_t count) {
  auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
  if (count > state->size - state->at) png_error(png, "the file ends early");
  std::memcpy(out, state->data + state->at, count);
  state->at += count;
}

struct ReadStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStructs() { png_destroy_read_struct(&png, &info, nullptr); }
};

// All libpng calls of a decoding. A libpng error jumps back to the setjmp
// here; between the two only plain C frames and objects live, so the jump
// skips no destructor. Returns false with state.error set on failure.
bool read_picture(png_structp png, png_infop info, ReadState& state, std::uint64_t max_decoded_bytes,
                  PngDecodeResult& result, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &state, on_read);
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);  // the size check below decides
  // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND is skipped unparsed.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
  // Mutated inputs get past the checksums and into the decoding.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int colour_type = png_get_color_type(png, info);
  const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels * (has_alpha ? 5 : 4) > max_decoded_bytes) {
    std::snprintf(state.error, sizeof state.error, "the picture is too large (%u x %u)", width, height);
    return false;
  }

  // Every kind becomes 8-bit red, green, blue and alpha (or a zero filler).
  png_set_expand(png);
  if (png_get_bit_depth(png, info) == 16) {
    png_set_scale_16(png);
    result.reduced_from_16_bits = true;
  }
  if ((colour_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if (!has_alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * 4) png_error(png, "unexpected row layout");

  Image& image = result.image;
  image.width = static_cast<std::int32_t>(width);
  image.height = static_cast<std::int32_t>(height);
  image.pixels.resize(static_cast<std::size_t>(pixels));
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    rows[y] = reinterpret_cast<png_bytep>(image.pixels.data() + std::size_t{y} * width);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  if (has_alpha) result.alpha.resize(static_cast<std::size_t>(pixels));
  return true;
}

}  // namespace

PngDecodeResult decode_png(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  PngDecodeResult result;
  ReadState state{data, size, 0, {}};
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    result.error = "not a PNG file";
    return result;
  }
  ReadStructs s;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, on_error, on_warning);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.info) throw std::bad_alloc();
  std::vector<png_bytep> rows;
  if (!read_picture(s.png, s.info, state, max_decoded_bytes, result, rows)) {
    PngDecodeResult failed;
    failed.error = state.error[0] ? state.error : "damaged file";
    return failed;
  }
  // Each pixel was read as the bytes R, G, B, A (or 0): split off the alpha.
  const bool has_alpha = !result.alpha.empty();
  Colour* p = result.image.pixels.data();
  const std::size_t count = result.image.pixels.size();
  for (std::size_t i = 0; i < count; ++i) {
    Colour c = p[i];
    if constexpr (std::endian::native == std::endian::big)
      c = (c >> 24) | ((c >> 8) & 0xFF00) | ((c << 8) & 0xFF0000) | (c << 24);
    if (has_alpha) result.alpha[i] = static_cast<std::uint8_t>(c >> 24);
    p[i] = c & 0xFFFFFF;
  }
  return result;
}

}  // namespace murkel
