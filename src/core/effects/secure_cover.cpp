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
// smooth, equal to the ring's colours at the edge. The secure mosaic averages
// that blend over each cell. With no side at all the result is neutral gray.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

namespace {

constexpr std::int64_t kRingDepth = 4;
constexpr std::int64_t kRingReach = 4;
constexpr Colour kNeutral = 0x00808080u;

struct Rgb {
  double r = 0, g = 0, b = 0;
};

// Mean colour of the picture pixels in columns [x0, x1) and rows [y0, y1),
// cut to the picture (never empty when called).
Rgb box_mean(const PixelView& view, std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) {
  x0 = std::max<std::int64_t>(x0, 0), x1 = std::min<std::int64_t>(x1, view.picture_width);
  y0 = std::max<std::int64_t>(y0, 0), y1 = std::min<std::int64_t>(y1, view.picture_height);
  std::uint64_t r = 0, g = 0, b = 0;
  for (std::int64_t y = y0; y < y1; ++y) {
    const Colour* p = detail::pixel_pointer(view, x0, y);
    for (std::int64_t x = x0; x < x1; ++x, ++p) r += red_of(*p), g += green_of(*p), b += blue_of(*p);
  }
  const double n = static_cast<double>((x1 - x0) * (y1 - y0));
  return Rgb{static_cast<double>(r) / n, static_cast<double>(g) / n, static_cast<double>(b) / n};
}

// One side's profile along the selection and its weight 1 / d at each step
// across it; an absent side has no profile and weights 0.
struct Side {
  std::vector<Rgb> profile;
  std::vector<double> weight;
};

// A side's profile (box_at(i) for each position along it) and its weights
// across the selection; the near side is the top or left one.
Side make_side(bool present, std::int64_t count_along, std::int64_t count_across, bool near_side,
               const auto& box_at) {
  Side side;
  side.weight.assign(static_cast<std::size_t>(count_across), 0.0);
  if (!present) return side;
  side.profile.resize(static_cast<std::size_t>(count_along));
  for (std::int64_t i = 0; i < count_along; ++i) side.profile[static_cast<std::size_t>(i)] = box_at(i);
  for (std::int64_t k = 0; k < count_across; ++k) {
    const std::int64_t d = near_side ? k + 1 : count_across - k;
    side.weight[static_cast<std::size_t>(k)] = 1.0 / static_cast<double>(d);
  }
  return side;
}

// The blended colour field over the selection, row by row.
class Field {
 public:
  Field(const PixelView& view, const Rect& s) : width_(s.width()) {
    const std::int64_t pw = view.picture_width, ph = view.picture_height;
    const std::int64_t w = s.width(), h = s.height();
    // A side exists where the row or column just beyond it lies in the picture
    // and the selection meets the picture along it.
    const bool picture = pw > 0 && ph > 0;
    const bool columns_meet = picture && s.right > 0 && s.left < pw;
    const bool rows_meet = picture && s.bottom > 0 && s.top < ph;
    const auto clamp_x = [&](std::int64_t x) { return std::clamp<std::int64_t>(x, 0, pw - 1); };
    const auto clamp_y = [&](std::int64_t y) { return std::clamp<std::int64_t>(y, 0, ph - 1); };
    const auto across_columns = [&](std::int64_t i, std::int64_t y0, std::int64_t y1) {
      const std::int64_t x = clamp_x(s.left + i);
      return box_mean(view, x - kRingReach, x + kRingReach + 1, y0, y1);
    };
    const auto across_rows = [&](std::int64_t j, std::int64_t x0, std::int64_t x1) {
      const std::int64_t y = clamp_y(s.top + j);
      return box_mean(view, x0, x1, y - kRingReach, y + kRingReach + 1);
    };
    top_ = make_side(columns_meet && s.top >= 1 && s.top <= ph, w, h, true,
                     [&](std::int64_t i) { return across_columns(i, s.top - kRingDepth, s.top); });
    bottom_ = make_side(columns_meet && s.bottom >= 0 && s.bottom < ph, w, h, false,
                        [&](std::int64_t i) { return across_columns(i, s.bottom, s.bottom + kRingDepth); });
    left_ = make_side(rows_meet && s.left >= 1 && s.left <= pw, h, w, true,
                      [&](std::int64_t j) { return across_rows(j, s.left - kRingDepth, s.left); });
    right_ = make_side(rows_meet && s.right >= 0 && s.right < pw, h, w, false,
                       [&](std::int64_t j) { return across_rows(j, s.right, s.right + kRingDepth); });
    any_side_ = !top_.profile.empty() || !bottom_.profile.empty() || !left_.profile.empty() || !right_.profile.empty();
  }

  bool any_side() const { return any_side_; }

  // The field's colours in row j of the selection.
  void row(std::int64_t j, std::vector<Rgb>& out) const {
    const auto uj = static_cast<std::size_t>(j);
    const double wt = top_.weight[uj], wb = bottom_.weight[uj];
    const Rgb zero;
    const Rgb& l = left_.profile.empty() ? zero : left_.profile[uj];
    const Rgb& r = right_.profile.empty() ? zero : right_.profile[uj];
    for (std::size_t i = 0; i < static_cast<std::size_t>(width_); ++i) {
      const double wl = left_.weight[i], wr = right_.weight[i];
      const Rgb& t = top_.profile.empty() ? zero : top_.profile[i];
      const Rgb& b = bottom_.profile.empty() ? zero : bottom_.profile[i];
      const double norm = 1.0 / (wl + wr + wt + wb);
      out[i] = Rgb{(wl * l.r + wr * r.r + wt * t.r + wb * b.r) * norm, (wl * l.g + wr * r.g + wt * t.g + wb * b.g) * norm,
                   (wl * l.b + wr * r.b + wt * t.b + wb * b.b) * norm};
    }
  }

 private:
  std::int64_t width_;
  Side top_, bottom_, left_, right_;
  bool any_side_ = false;
};

Colour rounded(const Rgb& c) {
  const auto component = [](double v) { return static_cast<std::uint32_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
  return detail::compose(component(c.r), component(c.g), component(c.b));
}

void fill_block(const Rect& s, Colour colour, BlockRef out) {
  for (std::int64_t y = 0; y < s.height(); ++y) std::fill_n(out.data + y * out.stride, s.width(), colour);
}

}  // namespace

Rect secure_footprint(const Rect& selection) {
  if (selection.empty()) return selection;
  const auto grow = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  const std::int64_t ring = std::max(kRingDepth, kRingReach);
  return Rect{grow(selection.left - ring), grow(selection.top - ring), grow(selection.right + ring),
              grow(selection.bottom + ring)};
}

void secure_blur_into(const PixelView& picture, const Rect& selection, BlockRef out) {
  if (selection.empty()) return;
  const Field field(picture, selection);
  if (!field.any_side()) return fill_block(selection, kNeutral, out);
  std::vector<Rgb> row(static_cast<std::size_t>(selection.width()));
  for (std::int64_t j = 0; j < selection.height(); ++j) {
    field.row(j, row);
    Colour* dst = out.data + j * out.stride;
    for (std::size_t i = 0; i < row.size(); ++i) dst[i] = rounded(row[i]);
  }
}

void secure_mosaic_into(const PixelView& picture, const Rect& selection, std::int32_t cell_width,
                        std::int32_t cell_height, BlockRef out) {
  if (selection.empty()) return;
  const Field field(picture, selection);
  if (!field.any_side()) return fill_block(selection, kNeutral, out);
  // A cell below one pixel would leave nothing to average over; the covering
  // must never fall back to the content, so it counts as one.
  const std::int64_t w = selection.width(), h = selection.height();
  const std::int64_t cw = std::min<std::int64_t>(std::max(cell_width, 1), w);
  const std::int64_t ch = std::min<std::int64_t>(std::max(cell_height, 1), h);
  const std::size_t cells = static_cast<std::size_t>((w + cw - 1) / cw);
  std::vector<Rgb> row(static_cast<std::size_t>(w)), sums(cells);
  std::vector<Colour> colours(cells);
  for (std::int64_t band = 0; band < h; band += ch) {
    const std::int64_t rows = std::min(ch, h - band);
    std::fill(sums.begin(), sums.end(), Rgb{});
    for (std::int64_t j = band; j < band + rows; ++j) {
      field.row(j, row);
      for (std::size_t i = 0; i < row.size(); ++i) {
        Rgb& sum = sums[i / static_cast<std::size_t>(cw)];
        sum.r += row[i].r, sum.g += row[i].g, sum.b += row[i].b;
      }
    }
    for (std::size_t c = 0; c < cells; ++c) {
      const std::int64_t columns = std::min<std::int64_t>(cw, w - static_cast<std::int64_t>(c) * cw);
      const double n = static_cast<double>(columns * rows);
      colours[c] = rounded(Rgb{sums[c].r / n, sums[c].g / n, sums[c].b / n});
    }
    for (std::int64_t j = band; j < band + rows; ++j) {
      Colour* dst = out.data + j * out.stride;
      for (std::int64_t i = 0; i < w; ++i) dst[i] = colours[static_cast<std::size_t>(i / cw)];
    }
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
