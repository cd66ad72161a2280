// Blur: each pixel becomes the rounded average of the samples at (+L,-L),
// (0,0), (-L,0) and (+L,+L) that lie in the (W+1) x (H+1) sample area.
//
// Each output row is cut into runs over which the set of samples present is
// fixed and every sample can be read straight from the picture (or from a
// white row); those runs go through a branch-free kernel, the few pixels
// whose samples fall outside the picture sideways go through a per-pixel path.
#include <algorithm>
#include <array>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

namespace {

// Rounded sum / m, ties to even, for m = 1..4 and sum <= 4 * 255: the same as
// nearbyint(sum / m) in double.
template <int M>
constexpr std::uint32_t divide_rounded(std::uint32_t sum) {
  if constexpr (M == 1) {
    return sum;
  } else if constexpr (M == 2) {
    return (sum + ((sum >> 1) & 1)) >> 1;
  } else if constexpr (M == 3) {
    return ((sum + 1) * 43691u) >> 17;  // (sum + 1) / 3: thirds never tie
  } else {
    return (sum + 1 + ((sum >> 2) & 1)) >> 2;
  }
}

constexpr std::uint32_t divide_rounded(std::uint32_t sum, int m) {
  switch (m) {
    case 1: return divide_rounded<1>(sum);
    case 2: return divide_rounded<2>(sum);
    case 3: return divide_rounded<3>(sum);
    default: return divide_rounded<4>(sum);
  }
}

// The rounded averages of packed sums: rb holds the red sum in bits 0..15 and
// the blue sum in bits 16..31, g the green sum shifted left by 8.
template <int M>
Colour average_packed(std::uint32_t rb, std::uint32_t g) {
  if constexpr (M == 1) {
    return rb | g;
  } else if constexpr (M == 2) {  // lane by lane: (s + bit 1 of s) >> 1
    rb = ((rb + ((rb >> 1) & 0x00010001u)) >> 1) & 0x00FF00FFu;
    g = ((g + ((g >> 1) & 0x100u)) >> 1) & 0xFF00u;
    return rb | g;
  } else if constexpr (M == 4) {  // lane by lane: (s + 1 + bit 2 of s) >> 2
    rb = ((rb + 0x00010001u + ((rb >> 2) & 0x00010001u)) >> 2) & 0x00FF00FFu;
    g = ((g + 0x100u + ((g >> 2) & 0x100u)) >> 2) & 0xFF00u;
    return rb | g;
  } else {
    return detail::compose(divide_rounded<M>(rb & 0xFFFF), divide_rounded<M>(g >> 8), divide_rounded<M>(rb >> 16));
  }
}

// The run kernel: out[k] from self[k], left[k], up[k], down[k] (those present).
template <bool Up, bool Left, bool Down>
void blur_run(Colour* out, const Colour* self, const Colour* left, const Colour* up, const Colour* down,
              std::int64_t count) {
  constexpr int m = 1 + int{Up} + int{Left} + int{Down};
  for (std::int64_t k = 0; k < count; ++k) {
    std::uint32_t rb = self[k] & 0x00FF00FFu, g = self[k] & 0xFF00u;
    if constexpr (Up) rb += up[k] & 0x00FF00FFu, g += up[k] & 0xFF00u;
    if constexpr (Left) rb += left[k] & 0x00FF00FFu, g += left[k] & 0xFF00u;
    if constexpr (Down) rb += down[k] & 0x00FF00FFu, g += down[k] & 0xFF00u;
    out[k] = average_packed<m>(rb, g);
  }
}

using RunKernel = void (*)(Colour*, const Colour*, const Colour*, const Colour*, const Colour*, std::int64_t);
constexpr std::array<RunKernel, 8> kKernels = {
    blur_run<false, false, false>, blur_run<false, false, true>, blur_run<false, true, false>,
    blur_run<false, true, true>,   blur_run<true, false, false>, blur_run<true, false, true>,
    blur_run<true, true, false>,   blur_run<true, true, true>,
};

// A row of the sample area, readable directly at relative columns [lo, hi).
struct SampleRow {
  const Colour* first = nullptr;  // the pixel at column lo
  std::int64_t lo = 0, hi = 0;
  const Colour* at(std::int64_t column) const { return first + (column - lo); }
};

// Half-open interval arithmetic for the runs.
struct Span {
  std::int64_t lo, hi;
  Span meet(std::int64_t a, std::int64_t b) const { return Span{std::max(lo, a), std::min(hi, b)}; }
};

}  // namespace

std::vector<Colour> blur(const PixelView& picture, const Rect& selection, std::uint16_t level) {
  std::vector<Colour> block = detail::new_block(selection);
  blur_into(picture, selection, level, detail::whole_block(block, selection));
  return block;
}

void blur_into(const PixelView& picture, const Rect& selection, std::uint16_t level, BlockRef block, RowSpan rows) {
  if (selection.empty()) return;

  const std::int64_t w = selection.width(), h = selection.height(), l = level;
  const std::int64_t left = selection.left, top = selection.top;

  // Sample-area columns inside the picture: [cs, ce) of 0..w.
  const std::int64_t cs = std::clamp<std::int64_t>(-left, 0, w + 1);
  const std::int64_t ce = std::max(cs, std::clamp<std::int64_t>(picture.picture_width - left, 0, w + 1));
  const std::vector<Colour> white_row(static_cast<std::size_t>(w + 1), kOutsideColour);

  auto sample_row = [&](std::int64_t ry) {
    const std::int64_t y = top + ry;
    if (y < 0 || y >= picture.picture_height || ce == cs) return SampleRow{white_row.data(), 0, w + 1};
    return SampleRow{detail::pixel_pointer(picture, left + cs, y), cs, ce};
  };

  // Slow path for one pixel: sample-area check, then the picture rule.
  auto blur_pixel = [&](std::int64_t x, std::int64_t y) {
    static constexpr int kOffsets[4][2] = {{1, -1}, {0, 0}, {-1, 0}, {1, 1}};
    std::uint32_t r = 0, g = 0, b = 0;
    int m = 0;
    for (const auto& o : kOffsets) {
      const std::int64_t sx = x + o[0] * l, sy = y + o[1] * l;
      if (sx < 0 || sx > w || sy < 0 || sy > h) continue;
      const Colour v = picture.at(left + sx, top + sy);
      r += v & 0xFF, g += (v >> 8) & 0xFF, b += (v >> 16) & 0xFF;
      ++m;
    }
    return detail::compose(divide_rounded(r, m), divide_rounded(g, m), divide_rounded(b, m));
  };

  // Columns where the left sample (x >= l) and the right-hand samples (x + l <= w) exist.
  const std::int64_t left_from = std::min(l, w);
  const std::int64_t right_until = std::clamp<std::int64_t>(w - l + 1, 0, w);
  std::array<std::int64_t, 4> cuts = {0, left_from, right_until, w};
  std::sort(cuts.begin(), cuts.end());

  const std::int64_t first = std::max<std::int64_t>(rows.first, 0), end = std::min(rows.end, h);
  for (std::int64_t y = first; y < end; ++y) {
    Colour* const out = block.data + (y - first) * block.stride;
    const SampleRow self_row = sample_row(y);
    const bool up_row = y >= l, down_row = y + l <= h;
    const SampleRow up = up_row ? sample_row(y - l) : SampleRow{};
    const SampleRow down = down_row ? sample_row(y + l) : SampleRow{};

    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
      const std::int64_t xa = cuts[c], xb = cuts[c + 1];
      if (xa >= xb) continue;
      const bool has_left = xa >= l, has_right = xa + l <= w;
      const bool has_up = has_right && up_row, has_down = has_right && down_row;
      // Where every present sample is directly readable.
      Span fast = Span{xa, xb}.meet(self_row.lo, self_row.hi);
      if (has_left) fast = fast.meet(self_row.lo + l, self_row.hi + l);
      if (has_up) fast = fast.meet(up.lo - l, up.hi - l);
      if (has_down) fast = fast.meet(down.lo - l, down.hi - l);
      if (fast.hi <= fast.lo) fast = Span{xb, xb};

      for (std::int64_t x = xa; x < fast.lo; ++x) out[x] = blur_pixel(x, y);
      if (fast.lo < fast.hi) {
        const RunKernel kernel = kKernels[(has_up ? 4 : 0) + (has_left ? 2 : 0) + (has_down ? 1 : 0)];
        kernel(out + fast.lo, self_row.at(fast.lo), has_left ? self_row.at(fast.lo - l) : nullptr,
               has_up ? up.at(fast.lo + l) : nullptr, has_down ? down.at(fast.lo + l) : nullptr,
               fast.hi - fast.lo);
      }
      for (std::int64_t x = fast.hi; x < xb; ++x) out[x] = blur_pixel(x, y);
    }
  }
}

}  // namespace murkel
