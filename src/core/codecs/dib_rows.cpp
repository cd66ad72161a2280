// Colours to and from the rows of a true-colour bitmap in memory.
#include "core/codecs/dib_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <immintrin.h>
#define MURKEL_SHUFFLE_ROWS 1
#endif

namespace murkel {

namespace {

#ifdef MURKEL_SHUFFLE_ROWS
// Four pixels a shuffle where the processor has one (nearly all do; the
// 32-bit build may only assume SSE2): several times the byte loop.
bool has_shuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// n pixels of 3 bytes (blue, green, red) to colours. Each load takes 16
// bytes for 4 pixels, so it stops 2 pixels short of the run's end.
__attribute__((target("ssse3"))) std::int64_t shuffle_in_3(const std::uint8_t* p, Colour* o, std::int64_t n) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  std::int64_t x = 0;
  for (; x + 6 <= n; x += 4, p += 12) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x), _mm_shuffle_epi8(v, order));
  }
  return x;
}

// Colours to n pixels of 3 bytes. Each store writes 16 bytes for 4 pixels;
// the 4 beyond them belong to the next pixels of the run, written next.
__attribute__((target("ssse3"))) std::int64_t shuffle_out_3(const Colour* c, std::uint8_t* p, std::int64_t n) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  std::int64_t x = 0;
  for (; x + 6 <= n; x += 4, p += 12) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(v, order));
  }
  return x;
}
#endif

// The pixels of a run that a shuffle took, none without one.
template <int kBytes>
std::int64_t fast_in(const std::uint8_t* p, Colour* o, std::int64_t n) {
#ifdef MURKEL_SHUFFLE_ROWS
  if (kBytes == 3 && has_shuffle()) return shuffle_in_3(p, o, n);
#endif
  (void)p, (void)o, (void)n;
  return 0;
}

template <int kBytes>
std::int64_t fast_out(const Colour* c, std::uint8_t* p, std::int64_t n) {
#ifdef MURKEL_SHUFFLE_ROWS
  if (kBytes == 3 && has_shuffle()) return shuffle_out_3(c, p, n);
#endif
  (void)c, (void)p, (void)n;
  return 0;
}

// The pixel size known to the compiler, so that the loops vectorise.
template <int kBytes>
void read_rows(const DibRows& rows, const Rect& region, Colour* out, std::int64_t y0, std::int64_t y1) {
  const std::int64_t w = region.width();
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::uint8_t* p = rows.top_row + y * rows.stride + region.left * kBytes;
    Colour* o = out + (y - region.top) * w;
    const std::int64_t done = fast_in<kBytes>(p, o, w);
    p += done * kBytes;
    for (std::int64_t x = done; x < w; ++x, p += kBytes) {
      o[x] = static_cast<Colour>(p[2]) | (static_cast<Colour>(p[1]) << 8) | (static_cast<Colour>(p[0]) << 16);
    }
  }
}

template <int kBytes>
void write_rows(const DibRows& rows, const Rect& selection, const Colour* block, std::int64_t x0, std::int64_t x1,
                std::int64_t y0, std::int64_t y1) {
  for (std::int64_t y = y0; y < y1; ++y) {
    const Colour* in = block + (y - selection.top) * selection.width() + (x0 - selection.left);
    std::uint8_t* p = rows.top_row + y * rows.stride + x0 * kBytes;
    const std::int64_t done = fast_out<kBytes>(in, p, x1 - x0);
    in += done;
    p += done * kBytes;
    for (std::int64_t x = x0 + done; x < x1; ++x, p += kBytes) {
      const Colour c = *in++;
      p[0] = static_cast<std::uint8_t>(c >> 16);
      p[1] = static_cast<std::uint8_t>(c >> 8);
      p[2] = static_cast<std::uint8_t>(c);
      if constexpr (kBytes == 4) p[3] = 0;
    }
  }
}

}  // namespace

void read_dib_rows(const DibRows& rows, const Rect& region, Colour* out) {
  if (rows.bytes_per_pixel == 4) {
    read_rows<4>(rows, region, out, region.top, region.bottom);
  } else {
    read_rows<3>(rows, region, out, region.top, region.bottom);
  }
}

void write_dib_rows(const DibRows& rows, const Rect& selection, const Colour* block) {
  const std::int64_t x0 = std::max<std::int64_t>(selection.left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(selection.right, rows.width);
  const std::int64_t y0 = std::max<std::int64_t>(selection.top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(selection.bottom, rows.height);
  if (x0 >= x1) return;
  if (rows.bytes_per_pixel == 4) {
    write_rows<4>(rows, selection, block, x0, x1, y0, y1);
  } else {
    write_rows<3>(rows, selection, block, x0, x1, y0, y1);
  }
}

void copy_dib_rows(const DibRows& from, const Rect& region, const DibRows& to) {
  const std::int64_t w = region.width();
  for (std::int64_t y = region.top; y < region.bottom; ++y) {
    const std::uint8_t* in = from.top_row + y * from.stride + region.left * from.bytes_per_pixel;
    std::uint8_t* out = to.top_row + (y - region.top) * to.stride;
    if (from.bytes_per_pixel == to.bytes_per_pixel) {
      std::memcpy(out, in, static_cast<std::size_t>(w * to.bytes_per_pixel));
      continue;
    }
    for (std::int64_t x = 0; x < w; ++x, in += from.bytes_per_pixel, out += to.bytes_per_pixel) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      if (to.bytes_per_pixel == 4) out[3] = 0;
    }
  }
}

void expand_indexed_rows(const IndexedRows& from, const std::uint32_t* table, std::size_t table_size,
                         const Rect& region, const DibRows& to) {
  std::uint32_t colours[256] = {};
  for (std::size_t i = 0; i < std::min<std::size_t>(table_size, 256); ++i) colours[i] = table[i];
  const int bits = from.bits_per_pixel;
  const unsigned mask = (1u << bits) - 1;
  for (std::int64_t y = region.top; y < region.bottom; ++y) {
    const std::uint8_t* in = from.top_row + y * from.stride;
    std::uint8_t* out = to.top_row + (y - region.top) * to.stride;
    for (std::int64_t x = region.left; x < region.right; ++x, out += 4) {
      const std::int64_t bit = x * bits;
      const unsigned index = bits == 8 ? in[x] : (in[bit / 8] >> (8 - bits - bit % 8)) & mask;
      const std::uint32_t c = colours[index];
      out[0] = static_cast<std::uint8_t>(c);
      out[1] = static_cast<std::uint8_t>(c >> 8);
      out[2] = static_cast<std::uint8_t>(c >> 16);
      out[3] = 0;
    }
  }
}

}  // namespace murkel
