// Reduction by area averaging and enlargement into squares of a block of the zoomed picture.
#include "core/canvas/zoom_pixels.h"

#include <algorithm>
#include <cstring>

// SSE2 where the processor has it; MURKEL_NO_SIMD builds the plain loop
// (for other processors, and to test it).
#if !defined(MURKEL_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define MURKEL_ZOOM_SSE2 1
#include <emmintrin.h>
#endif

namespace murkel {

namespace {

// The weights of one canvas pixel sum to these: along a column to 256, so
// that a column sum of 8-bit values fits 16 bits (and many add at once);
// along a row to 2^14, so that a weight fits a signed 16-bit lane and a
// weighted sum of column sums 32 bits.
constexpr std::int64_t kRowWeights = 256, kColumnWeights = 16384;
constexpr int kAverageShift = 8 + 14;
// Column sums are kept less 2^15 (as signed 16-bit values), which the sum
// over a row's weights puts back at once.
constexpr std::uint16_t kSumBias = 0x8000;
constexpr std::int32_t kRowBias = kSumBias * kColumnWeights;

// For each canvas pixel z0 .. z1 - 1 along one axis, the picture pixels it
// covers and their weights. With n = num and d = den, picture pixel i spans
// [i * n, (i + 1) * n) and canvas pixel z spans [z * d, (z + 1) * d), cut at
// the picture's end. Weights are rounded at the running total, so they sum
// to weight_sum exactly and a plain colour stays itself. With `paired`, a
// canvas pixel with an odd number of taps gets one more weighing 0.
void plan_axis(std::int32_t z0, std::int32_t z1, std::int32_t size, Zoom zoom, std::int64_t weight_sum, bool paired,
               std::vector<ZoomScratch::Tap>& taps, std::vector<std::uint16_t>& weights) {
  const std::int64_t n = zoom.num, d = zoom.den;
  taps.clear();
  weights.clear();
  for (std::int64_t z = z0; z < z1; ++z) {
    const std::int64_t start = z * d, end = std::min((z + 1) * d, size * n), length = end - start;
    const std::int64_t first = start / n, last = (end + n - 1) / n - 1;
    const std::int64_t count = paired ? (last - first + 2) / 2 * 2 : last - first + 1;
    const auto rounded = [&](std::int64_t t) { return (2 * weight_sum * t + length) / (2 * length); };
    taps.push_back(ZoomScratch::Tap{static_cast<std::int32_t>(first), static_cast<std::int32_t>(count),
                                    static_cast<std::int32_t>(weights.size())});
    for (std::int64_t i = first; i < first + count; ++i) {
      const std::int64_t a = std::clamp(i * n, start, end) - start, b = std::clamp((i + 1) * n, start, end) - start;
      weights.push_back(static_cast<std::uint16_t>(rounded(b) - rounded(a)));
    }
  }
}

// The column sums of one canvas row: every byte of its picture rows (one
// run of `count` bytes each) times the row's weight, two rows at a time,
// from the sums' bias on.
void weigh_rows(const std::uint8_t* const* rows, const std::uint16_t* weights, std::int32_t taps, std::uint16_t* sums,
                std::size_t count) {
  std::int32_t j = 0;
  for (; j + 1 < taps; j += 2) {
    const std::uint8_t* a = rows[j];
    const std::uint8_t* b = rows[j + 1];
    const std::uint16_t wa = weights[j], wb = weights[j + 1];
    if (j == 0) {
      for (std::size_t k = 0; k < count; ++k) sums[k] = static_cast<std::uint16_t>(kSumBias + wa * a[k] + wb * b[k]);
    } else {
      for (std::size_t k = 0; k < count; ++k) sums[k] = static_cast<std::uint16_t>(sums[k] + wa * a[k] + wb * b[k]);
    }
  }
  if (j < taps) {
    const std::uint8_t* a = rows[j];
    const std::uint16_t wa = weights[j];
    if (j == 0) {
      for (std::size_t k = 0; k < count; ++k) sums[k] = static_cast<std::uint16_t>(kSumBias + wa * a[k]);
    } else {
      for (std::size_t k = 0; k < count; ++k) sums[k] = static_cast<std::uint16_t>(sums[k] + wa * a[k]);
    }
  }
}

// Each canvas pixel of the row from the column sums: its taps' weighted sum.
#if MURKEL_ZOOM_SSE2
// Two taps at once: the three colours of each (the fourth 16-bit sum
// belongs to the next pixel or is the unused byte, and is dropped)
// interleaved, times the pair's weights, repeated four times in `wide`.
void average_columns(const ZoomScratch& s, int bpp, std::int32_t first_column, std::uint8_t* out) {
  const __m128i bias = _mm_set1_epi32(kRowBias + (1 << (kAverageShift - 1)));
  const __m128i colours = _mm_set_epi32(0, 0, 0x00FFFFFF, 0x00FFFFFF);
  const std::uint16_t* sums = s.sums.data();
  const std::uint16_t* weight = s.wide.data();  // the taps' weights follow each other
  const auto total = [&](const ZoomScratch::Tap& tap) {
    const std::uint16_t* sum = sums + std::size_t(tap.first - first_column) * bpp;
    __m128i t = bias;
    for (std::int32_t i = 0; i < tap.count; i += 2, sum += 2 * bpp, weight += 8) {
      const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sum));
      const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sum + bpp));
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weight));
      t = _mm_add_epi32(t, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), w));
    }
    return _mm_srli_epi32(t, kAverageShift);
  };
  // Two canvas pixels a store.
  const std::size_t count = s.columns.size();
  std::size_t i = 0;
  for (; i + 1 < count; i += 2, out += 8) {
    const __m128i first = total(s.columns[i]);
    const __m128i second = total(s.columns[i + 1]);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(first, second), first);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_and_si128(bytes, colours));
  }
  if (i < count) {
    const __m128i last = total(s.columns[i]);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(last, last), last);
    const std::uint32_t pixel = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu;
    std::memcpy(out, &pixel, 4);
  }
}

// The column weights in pairs, each pair four times: w0 w1 w0 w1 w0 w1 w0 w1.
void widen_column_weights(ZoomScratch& s) {
  s.wide.resize(s.column_weights.size() * 4);
  for (std::size_t i = 0; i < s.column_weights.size(); i += 2)
    for (std::size_t k = 0; k < 4; ++k) {
      s.wide[i * 4 + 2 * k] = s.column_weights[i];
      s.wide[i * 4 + 2 * k + 1] = s.column_weights[i + 1];
    }
}
#else
void average_columns(const ZoomScratch& s, int bpp, std::int32_t first_column, std::uint8_t* out) {
  for (const ZoomScratch::Tap& tap : s.columns) {
    std::uint32_t b = 0, g = 0, r = 0;
    const std::uint16_t* sum = s.sums.data() + std::size_t(tap.first - first_column) * bpp;
    const std::uint16_t* w = s.column_weights.data() + tap.weights;
    for (std::int32_t i = 0; i < tap.count; ++i, sum += bpp) {
      b += w[i] * static_cast<std::uint32_t>(sum[0] ^ kSumBias);  // the sum without its bias
      g += w[i] * static_cast<std::uint32_t>(sum[1] ^ kSumBias);
      r += w[i] * static_cast<std::uint32_t>(sum[2] ^ kSumBias);
    }
    constexpr std::uint32_t half = std::uint32_t{1} << (kAverageShift - 1);
    out[0] = static_cast<std::uint8_t>((b + half) >> kAverageShift);
    out[1] = static_cast<std::uint8_t>((g + half) >> kAverageShift);
    out[2] = static_cast<std::uint8_t>((r + half) >> kAverageShift);
    out[3] = 0;
    out += 4;
  }
}

void widen_column_weights(ZoomScratch&) {}
#endif

// Down the rows first (every byte of the rows alike, over the block's
// columns), then along the row of column sums.
void reduce(const DibRows& picture, Zoom zoom, const Rect& zoomed, const DibRows& to, ZoomScratch& s) {
  const std::int64_t columns[5] = {zoomed.left, zoomed.right, picture.width, zoom.num, zoom.den};
  if (!std::equal(columns, columns + 5, s.planned_columns)) {
    plan_axis(zoomed.left, zoomed.right, picture.width, zoom, kColumnWeights, true, s.columns, s.column_weights);
    widen_column_weights(s);
    std::copy(columns, columns + 5, s.planned_columns);
  }
  plan_axis(zoomed.top, zoomed.bottom, picture.height, zoom, kRowWeights, false, s.rows, s.row_weights);
  const std::int32_t first_column = s.columns.front().first;
  const auto end_column = static_cast<std::int32_t>(
      std::min<std::int64_t>(picture.width, (std::int64_t{zoomed.right} * zoom.den + zoom.num - 1) / zoom.num));
  const int bpp = picture.bytes_per_pixel;
  const std::size_t bytes = std::size_t(end_column - first_column) * bpp;
  // A tap of 0 weight past the picture's end reads a sum of 0 (its bias),
  // and so does the fourth 16-bit sum read with the last tap's three.
  s.sums.assign(std::size_t(s.columns.back().first + s.columns.back().count - first_column) * bpp + 1, kSumBias);
  std::uint8_t* out = to.top_row;
  for (const ZoomScratch::Tap& tap : s.rows) {
    s.row_starts.resize(std::size_t(tap.count));
    for (std::int32_t j = 0; j < tap.count; ++j)
      s.row_starts[j] = picture.top_row + (tap.first + j) * picture.stride + std::ptrdiff_t{first_column} * bpp;
    weigh_rows(s.row_starts.data(), s.row_weights.data() + tap.weights, tap.count, s.sums.data(), bytes);
    average_columns(s, bpp, first_column, out);
    out += to.stride;
  }
}

// Zoom `times` (a whole number): canvas pixel z shows picture pixel z / times.
void enlarge(const DibRows& picture, std::int32_t times, const Rect& zoomed, const DibRows& to) {
  const int bpp = picture.bytes_per_pixel;
  const std::size_t row_bytes = std::size_t(zoomed.width()) * 4;
  std::uint8_t* out = to.top_row;
  for (std::int32_t y = zoomed.top; y < zoomed.bottom; ++y, out += to.stride) {
    if (y > zoomed.top && y / times == (y - 1) / times) {
      std::memcpy(out, out - to.stride, row_bytes);
      continue;
    }
    const std::uint8_t* row = picture.top_row + (y / times) * picture.stride;
    std::uint8_t* o = out;
    for (std::int32_t x = zoomed.left; x < zoomed.right;) {
      const std::int32_t run = std::min(times - x % times, zoomed.right - x);
      const std::uint8_t* p = row + std::ptrdiff_t{x / times} * bpp;
      const std::uint8_t colour[4] = {p[0], p[1], p[2], 0};
      for (std::int32_t k = 0; k < run; ++k, o += 4) std::memcpy(o, colour, 4);
      x += run;
    }
  }
}

}  // namespace

void draw_zoomed(const DibRows& picture, Zoom zoom, const Rect& zoomed, const DibRows& to, ZoomScratch& scratch) {
  if (zoomed.empty()) return;
  if (zoom == kActualSize) {
    copy_dib_rows(picture, zoomed, to);
  } else if (zoom.den == 1) {
    enlarge(picture, zoom.num, zoomed, to);
  } else {
    reduce(picture, zoom, zoomed, to, scratch);
  }
}

}  // namespace murkel
