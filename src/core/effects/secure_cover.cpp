// Secure mosaic and secure blur: coverings computed only from the pixels
// around the selection, so that nothing of what lies under it can be read
// back from the result.
//
// Each side of the selection that has picture pixels beyond it gives a
// profile: for every column (top and bottom sides) or row (left and right
// sides) of the selection, the mean of a box of the ring just outside it,
// kRingDepth pixels deep and 2 * kRingReach + 1 pixels along the side. A
// pixel at distances d (1 for the first pixel inside) from the sides takes
// the blend of the four profiles weighted by 1 / d: smooth where the ring is
// smooth, close to the ring's colours at the edge. The secure mosaic gives
// each cell the blend at its middle pixel. With no side at all the result is
// neutral gray.
#include <algorithm>
#include <vector>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

namespace {

constexpr std::int64_t kRingDepth = 4;
constexpr std::int64_t kRingReach = 4;
constexpr Colour kNeutral = 0x00808080u;

// Mean colour of the picture pixels in columns [x0, x1) and rows [y0, y1),
// cut to the picture (never empty when called), per component.
void box_mean(const PixelView& view, std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1,
              float mean[3]) {
  x0 = std::max<std::int64_t>(x0, 0), x1 = std::min<std::int64_t>(x1, view.picture_width);
  y0 = std::max<std::int64_t>(y0, 0), y1 = std::min<std::int64_t>(y1, view.picture_height);
  std::uint64_t sum[3] = {};
  for (std::int64_t y = y0; y < y1; ++y) {
    const Colour* p = detail::pixel_pointer(view, x0, y);
    for (std::int64_t x = x0; x < x1; ++x, ++p) sum[0] += red_of(*p), sum[1] += green_of(*p), sum[2] += blue_of(*p);
  }
  const double n = static_cast<double>((x1 - x0) * (y1 - y0));
  for (int c = 0; c < 3; ++c) mean[c] = static_cast<float>(static_cast<double>(sum[c]) / n);
}

// One side's profile along the selection, a component per array (zero for a
// side that is absent), and its weight 1 / d at each step across the
// selection (zero for an absent side).
struct Side {
  std::vector<float> profile[3];
  std::vector<float> weight;
};

// box_at(i, mean) gives the ring's mean beside position i along the side; the
// near side is the top or the left one.
Side make_side(bool present, std::int64_t count_along, std::int64_t count_across, bool near_side,
               const auto& box_at) {
  Side side;
  for (auto& component : side.profile) component.assign(static_cast<std::size_t>(count_along), 0.0f);
  side.weight.assign(static_cast<std::size_t>(count_across), 0.0f);
  if (!present) return side;
  for (std::int64_t i = 0; i < count_along; ++i) {
    float mean[3];
    box_at(i, mean);
    for (int c = 0; c < 3; ++c) side.profile[c][static_cast<std::size_t>(i)] = mean[c];
  }
  for (std::int64_t k = 0; k < count_across; ++k) {
    const std::int64_t d = near_side ? k + 1 : count_across - k;
    side.weight[static_cast<std::size_t>(k)] = 1.0f / static_cast<float>(d);
  }
  return side;
}

// Nearest whole number, ties to even (the default rounding mode), for
// 0 <= v < 2^22: the addition rounds away the fraction. Single precision
// keeps four columns to an instruction; every build computes with SSE, so
// the results are the same in each.
inline std::int32_t round_component(float v) {
  constexpr float kMagic = 12582912.0f;  // 1.5 * 2^23
  return static_cast<std::int32_t>((v + kMagic) - kMagic);
}

// The blended colour field over the selection.
class Field {
 public:
  Field(const PixelView& view, const Rect& s) {
    const std::int64_t pw = view.picture_width, ph = view.picture_height;
    const std::int64_t w = s.width(), h = s.height();
    // A side exists where the row or column just beyond it lies in the picture
    // and the selection meets the picture along it.
    const bool picture = pw > 0 && ph > 0;
    const bool columns_meet = picture && s.right > 0 && s.left < pw;
    const bool rows_meet = picture && s.bottom > 0 && s.top < ph;
    const auto beside_columns = [&](std::int64_t y0, std::int64_t y1) {
      return [&view, &s, pw, y0, y1](std::int64_t i, float mean[3]) {
        const std::int64_t x = std::clamp<std::int64_t>(s.left + i, 0, pw - 1);
        box_mean(view, x - kRingReach, x + kRingReach + 1, y0, y1, mean);
      };
    };
    const auto beside_rows = [&](std::int64_t x0, std::int64_t x1) {
      return [&view, &s, ph, x0, x1](std::int64_t j, float mean[3]) {
        const std::int64_t y = std::clamp<std::int64_t>(s.top + j, 0, ph - 1);
        box_mean(view, x0, x1, y - kRingReach, y + kRingReach + 1, mean);
      };
    };
    top_ = make_side(columns_meet && s.top >= 1 && s.top <= ph, w, h, true,
                     beside_columns(std::int64_t{s.top} - kRingDepth, s.top));
    bottom_ = make_side(columns_meet && s.bottom >= 0 && s.bottom < ph, w, h, false,
                        beside_columns(s.bottom, std::int64_t{s.bottom} + kRingDepth));
    left_ = make_side(rows_meet && s.left >= 1 && s.left <= pw, h, w, true,
                      beside_rows(std::int64_t{s.left} - kRingDepth, s.left));
    right_ = make_side(rows_meet && s.right >= 0 && s.right < pw, h, w, false,
                       beside_rows(s.right, std::int64_t{s.right} + kRingDepth));
    const auto present = [](const Side& side) { return !side.weight.empty() && side.weight[0] > 0; };
    any_side_ = present(top_) || present(bottom_) || present(left_) || present(right_);
  }

  bool any_side() const { return any_side_; }

  // The colours of columns [i0, i1) of row j, rounded, into out[0 .. i1 - i0).
  void row(std::int64_t j, std::int64_t i0, std::int64_t i1, Colour* out) const {
    const auto uj = static_cast<std::size_t>(j);
    const float wt = top_.weight[uj], wb = bottom_.weight[uj];
    const float* wl = left_.weight.data();
    const float* wr = right_.weight.data();
    const float l[3] = {left_.profile[0][uj], left_.profile[1][uj], left_.profile[2][uj]};
    const float r[3] = {right_.profile[0][uj], right_.profile[1][uj], right_.profile[2][uj]};
    const float *tr = top_.profile[0].data(), *tg = top_.profile[1].data(), *tb = top_.profile[2].data();
    const float *br = bottom_.profile[0].data(), *bg = bottom_.profile[1].data(), *bb = bottom_.profile[2].data();
    for (std::int64_t i = i0; i < i1; ++i) {
      const float inverse = 1.0f / (wl[i] + wr[i] + wt + wb);
      const std::int32_t red = round_component((wl[i] * l[0] + wr[i] * r[0] + wt * tr[i] + wb * br[i]) * inverse);
      const std::int32_t green = round_component((wl[i] * l[1] + wr[i] * r[1] + wt * tg[i] + wb * bg[i]) * inverse);
      const std::int32_t blue = round_component((wl[i] * l[2] + wr[i] * r[2] + wt * tb[i] + wb * bb[i]) * inverse);
      out[i - i0] = static_cast<Colour>(red | (green << 8) | (blue << 16));
    }
  }

 private:
  Side top_, bottom_, left_, right_;
  bool any_side_ = false;
};

void fill_block(const Rect& s, Colour colour, BlockRef out) {
  for (std::int64_t y = 0; y < s.height(); ++y) std::fill_n(out.data + y * out.stride, s.width(), colour);
}

}  // namespace

Rect secure_footprint(const Rect& selection) {
  if (selection.empty()) return selection;
  const std::int64_t ring = std::max(kRingDepth, kRingReach);
  return Rect{saturate(selection.left - ring), saturate(selection.top - ring), saturate(selection.right + ring),
              saturate(selection.bottom + ring)};
}

void secure_blur_into(const PixelView& picture, const Rect& selection, BlockRef out) {
  if (selection.empty()) return;
  const Field field(picture, selection);
  if (!field.any_side()) return fill_block(selection, kNeutral, out);
  for (std::int64_t j = 0; j < selection.height(); ++j) field.row(j, 0, selection.width(), out.data + j * out.stride);
}

void secure_mosaic_into(const PixelView& picture, const Rect& selection, std::int32_t cell_width,
                        std::int32_t cell_height, BlockRef out) {
  if (selection.empty()) return;
  const Field field(picture, selection);
  if (!field.any_side()) return fill_block(selection, kNeutral, out);
  // A cell below one pixel would leave nothing to cover with; the covering
  // must never fall back to the content, so it counts as one.
  const std::int64_t w = selection.width(), h = selection.height();
  const std::int64_t cw = std::min<std::int64_t>(std::max(cell_width, 1), w);
  const std::int64_t ch = std::min<std::int64_t>(std::max(cell_height, 1), h);
  for (std::int64_t band = 0; band < h; band += ch) {
    const std::int64_t rows = std::min(ch, h - band);
    Colour* first = out.data + band * out.stride;
    // Each cell takes the field's colour at its middle pixel (of its part in the selection).
    for (std::int64_t cell = 0; cell < w; cell += cw) {
      const std::int64_t columns = std::min(cw, w - cell);
      Colour colour;
      field.row(band + (rows - 1) / 2, cell + (columns - 1) / 2, cell + (columns - 1) / 2 + 1, &colour);
      std::fill_n(first + cell, columns, colour);
    }
    for (std::int64_t j = 1; j < rows; ++j) std::copy_n(first, w, first + j * out.stride);
  }
}

std::vector<Colour> secure_blur(const PixelView& picture, const Rect& selection) {
  std::vector<Colour> block = detail::new_block(selection);
  secure_blur_into(picture, selection, detail::whole_block(block, selection));
  return block;
}

std::vector<Colour> secure_mosaic(const PixelView& picture, const Rect& selection, std::int32_t cell_width,
                                  std::int32_t cell_height) {
  std::vector<Colour> block = detail::new_block(selection);
  secure_mosaic_into(picture, selection, cell_width, cell_height, detail::whole_block(block, selection));
  return block;
}

}  // namespace murkel
