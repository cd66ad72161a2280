// Decodes PNG files into a 0x00BBGGRR picture and an alpha plane: 8-bit RGB
// and RGBA files that are not interlaced (what screenshots and murkel-cli's
// own files are) inflated at once by libdeflate and unfiltered here; every
// other kind, and any file the quick way does not take whole, through libpng.
#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

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

std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The five filters undone on one row in place; prev is the row above, already
// unfiltered (zeros for the first). False for an unknown filter.
bool unfilter_row(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t n, std::size_t bpp) {
  switch (filter) {
    case 0: return true;
    case 1:
      for (std::size_t i = bpp; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
      return true;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < bpp; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prev[i] >> 1));
      for (std::size_t i = bpp; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
      return true;
    case 4:
      for (std::size_t i = 0; i < bpp; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      for (std::size_t i = bpp; i < n; ++i) {
        const int a = row[i - bpp], b = prev[i], c = prev[i - bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        row[i] = static_cast<std::uint8_t>(row[i] + ((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c)));
      }
      return true;
    default: return false;
  }
}

enum class Quick { decoded, too_large, not_taken };

// A thread that is joined when its scope ends, however it ends; where none
// can be started, running() is false and the caller does the work itself.
class Helper {
 public:
  template <class Work>
  explicit Helper(Work& work) {
    try {
      thread_ = std::thread([&work] { work(); });
    } catch (const std::system_error&) {
    }
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() {
    if (thread_.joinable()) thread_.join();
  }
  bool running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
};

// The quick way: the chunks walked and checked here, the image data inflated
// in one call. Any file it does not take whole (another kind, a checksum or
// inflation error, data after the image, a chunk it does not know) is left
// to libpng, whose reason then stands.
Quick decode_quickly(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes,
                     PngDecodeResult& result) {
  std::size_t at = 8;
  const auto chunk_fits = [&] { return size - at >= 12 && be32(data + at) <= size - at - 12; };
  if (!chunk_fits() || be32(data + at) != 13 || std::memcmp(data + at + 4, "IHDR", 4) != 0) return Quick::not_taken;
  const std::uint8_t* ihdr = data + at + 8;
  const std::uint32_t width = be32(ihdr);
  const std::uint32_t height = be32(ihdr + 4);
  const int colour_type = ihdr[9];
  if (width == 0 || height == 0 || width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX || ihdr[8] != 8 ||
      (colour_type != 2 && colour_type != 6) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
    return Quick::not_taken;
  const bool has_alpha = colour_type == 6;
  // The image data's pieces, one per chunk.
  std::vector<std::pair<const std::uint8_t*, std::size_t>> spans;
  std::size_t compressed_size = 0;
  bool after_idat = false, seen_iend = false;
  at += 25;
  while (!seen_iend) {
    if (!chunk_fits()) return Quick::not_taken;
    const std::uint32_t length = be32(data + at);
    const std::uint8_t* type = data + at + 4;
    const std::uint8_t* body = data + at + 8;
    // The image data's checksums are checked below, on the second core.
    const bool idat = std::memcmp(type, "IDAT", 4) == 0;
#if !defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    if (!idat && libdeflate_crc32(0, type, std::size_t{length} + 4) != be32(body + length)) return Quick::not_taken;
#endif
    if (idat) {
      if (after_idat) return Quick::not_taken;
      spans.emplace_back(body, length);
      compressed_size += length;
    } else {
      after_idat = !spans.empty();
      if (std::memcmp(type, "IEND", 4) == 0) seen_iend = true;
      // A tRNS chunk would make a colour transparent; any other chunk that
      // a reader must understand is libpng's to judge.
      else if (std::memcmp(type, "tRNS", 4) == 0 ||
               ((type[0] & 0x20) == 0 && (std::memcmp(type, "PLTE", 4) != 0 || !spans.empty())))
        return Quick::not_taken;
    }
    at += std::size_t{length} + 12;
  }
  if (spans.empty()) return Quick::not_taken;
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels * (has_alpha ? 5 : 4) > max_decoded_bytes) {
    result.error = "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return Quick::too_large;
  }
  const std::size_t bpp = has_alpha ? 4 : 3;
  const std::size_t n = std::size_t{width} * bpp;
  Image& image = result.image;
  // The second core touches the rows' fresh memory while this one touches
  // the picture's and joins the image data of several chunks there (the
  // pixels replace it after the inflation); later it converts the rows to
  // pixels while this one unfilters them.
  std::vector<std::uint8_t> rows;
  bool short_of_memory = false, damaged = false;
  const auto prepare = [&] {
    try {
      rows.resize(static_cast<std::size_t>(height) * (n + 1));
    } catch (const std::bad_alloc&) {
      short_of_memory = true;
    }
#if !defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    for (const auto& [body, length] : spans)
      damaged |= libdeflate_crc32(0, body - 4, length + 4) != be32(body + length);
#endif
  };
  std::vector<std::uint8_t> joined;  // when the picture's memory is too small for it
  const std::uint8_t* compressed = spans[0].first;
  {
    Helper preparing(prepare);
    if (!preparing.running()) prepare();
    image.pixels.resize(static_cast<std::size_t>(pixels));
    if (has_alpha) result.alpha.resize(static_cast<std::size_t>(pixels));
    if (spans.size() > 1) {
      std::uint8_t* to = reinterpret_cast<std::uint8_t*>(image.pixels.data());
      if (compressed_size > image.pixels.size() * sizeof(Colour)) {
        joined.resize(compressed_size);
        to = joined.data();
      }
      compressed = to;
      for (const auto& [body, length] : spans) to = std::copy(body, body + length, to);
    }
  }
  if (short_of_memory) throw std::bad_alloc();
  if (damaged) {
    image.pixels.clear();
    result.alpha.clear();
    return Quick::not_taken;
  }
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  if (inflater == nullptr) throw std::bad_alloc();
  const libdeflate_result inflated =
      libdeflate_zlib_decompress(inflater, compressed, compressed_size, rows.data(), rows.size(), nullptr);
  libdeflate_free_decompressor(inflater);
  if (inflated != LIBDEFLATE_SUCCESS) {
    image.pixels.clear();
    result.alpha.clear();
    return Quick::not_taken;
  }

  std::atomic<std::uint32_t> ready{0};  // rows unfiltered
  std::atomic<bool> failed{false};
  const auto convert = [&] {
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t seen; (seen = ready.load(std::memory_order_acquire)) <= y;)
        ready.wait(seen, std::memory_order_acquire);
      if (failed.load(std::memory_order_relaxed)) return;
      const std::uint8_t* p = rows.data() + std::size_t{y} * (n + 1) + 1;
      Colour* out = image.pixels.data() + std::size_t{y} * width;
      if (has_alpha) {
        std::uint8_t* a = result.alpha.data() + std::size_t{y} * width;
        for (std::uint32_t x = 0; x < width; ++x, p += 4) {
          out[x] = make_colour(p[0], p[1], p[2]);
          a[x] = p[3];
        }
      } else {
        for (std::uint32_t x = 0; x < width; ++x, p += 3) out[x] = make_colour(p[0], p[1], p[2]);
      }
    }
  };
  {
    Helper converting(convert);
    std::vector<std::uint8_t> zeros(n, 0);
    const std::uint8_t* prev = zeros.data();
    for (std::uint32_t y = 0; y < height; ++y) {
      std::uint8_t* row = rows.data() + std::size_t{y} * (n + 1);
      if (!unfilter_row(row[0], row + 1, prev, n, bpp)) {
        failed = true;
        break;
      }
      prev = row + 1;
      if ((y & 15) == 15 && converting.running()) {
        ready.store(y + 1, std::memory_order_release);
        ready.notify_one();
      }
    }
    ready.store(height, std::memory_order_release);
    ready.notify_one();
    if (!converting.running() && !failed) convert();
  }
  if (failed) {
    image.pixels.clear();
    result.alpha.clear();
    return Quick::not_taken;
  }
  image.width = static_cast<std::int32_t>(width);
  image.height = static_cast<std::int32_t>(height);
  return Quick::decoded;
}

// The profile of the first iCCP chunk before PLTE and IDAT (where the format
// places it; libpng ignores one elsewhere): a name of 1 to 79 bytes, its end,
// compression 0 and a zlib stream. Inflated into a buffer grown four times at
// a time up to kMaxPngProfileBytes, so that a small chunk that inflates to
// gigabytes costs a few megabytes; empty for any fault.
std::vector<std::uint8_t> read_profile(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 8; size - at >= 12 && be32(data + at) <= size - at - 12;
       at += std::size_t{be32(data + at)} + 12) {
    const std::uint32_t length = be32(data + at);
    const std::uint8_t* type = data + at + 4;
    const std::uint8_t* body = data + at + 8;
    if (std::memcmp(type, "PLTE", 4) == 0 || std::memcmp(type, "IDAT", 4) == 0) break;
    if (std::memcmp(type, "iCCP", 4) != 0) continue;
#if !defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    if (libdeflate_crc32(0, type, std::size_t{length} + 4) != be32(body + length)) return {};
#endif
    const auto* name_end = static_cast<const std::uint8_t*>(std::memchr(body, 0, std::min<std::size_t>(length, 80)));
    if (name_end == nullptr || name_end == body || name_end + 2 > body + length || name_end[1] != 0) return {};
    const std::uint8_t* stream = name_end + 2;
    const std::size_t stream_size = static_cast<std::size_t>(body + length - stream);
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (inflater == nullptr) throw std::bad_alloc();
    std::vector<std::uint8_t> profile;
    std::size_t room = std::min(kMaxPngProfileBytes, std::max<std::size_t>(std::size_t{1} << 16, stream_size * 4));
    for (;;) {
      profile.resize(room);
      std::size_t inflated = 0;
      const libdeflate_result r =
          libdeflate_zlib_decompress(inflater, stream, stream_size, profile.data(), room, &inflated);
      if (r == LIBDEFLATE_SUCCESS) {
        profile.resize(inflated);
        break;
      }
      if (r != LIBDEFLATE_INSUFFICIENT_SPACE || room == kMaxPngProfileBytes) {
        profile.clear();
        break;
      }
      room = std::min(kMaxPngProfileBytes, room * 4);
    }
    libdeflate_free_decompressor(inflater);
    profile.shrink_to_fit();
    return profile;
  }
  return {};
}

}  // namespace

PngDecodeResult decode_png(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  PngDecodeResult result;
  ReadState state{data, size, 0, {}};
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    result.error = "not a PNG file";
    return result;
  }
  if (const Quick quick = decode_quickly(data, size, max_decoded_bytes, result); quick != Quick::not_taken) {
    if (quick == Quick::decoded) result.icc_profile = read_profile(data, size);
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
  result.icc_profile = read_profile(data, size);
  return result;
}

}  // namespace murkel
