// Mosaic: flat cells of cw x ch anchored at the selection's top-left, each the
// rounded average of its full cell area (outside the picture counts as white).
//
// Each band of cell rows is summed column by column over the picture rows it
// covers (every picture pixel of the footprint is read once); cell sums are
// then the sums of their columns, plus 255 for every cell pixel outside the
// picture, counted arithmetically.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

namespace {

// Rows summed into 32-bit column sums before they are flushed into 64-bit cell sums.
constexpr std::int64_t kRowsPerChunk = std::int64_t{1} << 24;  // 255 * 2^24 < 2^32
// Cells up to this many pixels sum exactly in 64 bits (255 * n < 2^63).
constexpr std::int64_t kMaxExactCell = std::int64_t{1} << 55;

// The rounded average sum / n: in double, ties to even.
class Averager {
 public:
  Averager(std::int64_t n, std::int64_t cell_count) : n_(n) {
    // A table of every possible result pays off when it is smaller than the divisions it saves.
    if (n <= 4096 && 255 * n + 1 <= 3 * cell_count) {
      table_.resize(static_cast<std::size_t>(255 * n + 1));
      const double dn = static_cast<double>(n);
      for (std::size_t s = 0; s < table_.size(); ++s) {
        table_[s] = static_cast<std::uint8_t>(std::nearbyint(static_cast<double>(s) / dn));
      }
    }
  }

  // Averages by cell sum, or null when they are computed one by one.
  const std::uint8_t* table() const { return table_.empty() ? nullptr : table_.data(); }

  // The average of a whole-cell sum (n <= kMaxExactCell).
  std::uint32_t of_sum(std::uint64_t sum) const {
    if (!table_.empty()) return table_[sum];
    return static_cast<std::uint32_t>(std::nearbyint(static_cast<double>(sum) / static_cast<double>(n_)));
  }

  // sum of one component over `inside` picture pixels; the other n - inside are white.
  std::uint32_t operator()(std::uint64_t inside_sum, std::int64_t inside) const {
    if (n_ > kMaxExactCell) {
      // Only for absurd cells: the deficit below white, which fits 64 bits.
      const double deficit = static_cast<double>(255 * static_cast<std::uint64_t>(inside) - inside_sum);
      return static_cast<std::uint32_t>(std::nearbyint(255.0 - deficit / static_cast<double>(n_)));
    }
    return of_sum(inside_sum + 255 * static_cast<std::uint64_t>(n_ - inside));
  }

 private:
  std::int64_t n_;
  std::vector<std::uint8_t> table_;
};

// Cells of a band that lie wholly in the picture's columns and in the
// selection, from the column sums at sr/sg/sb on: sum their columns (32 bits
// suffice, checked by the caller), add the white of the band's rows outside
// the picture, and paint them into `row`. Done in passes of a few hundred
// cells (sums, averages, painting) so that the sums and the painting vectorise.
template <int FixedWidth>
void paint_whole_cells(const std::uint32_t* sr, const std::uint32_t* sg, const std::uint32_t* sb, std::int64_t cw,
                       std::int64_t cells, std::uint32_t white, const Averager& average, Colour* row) {
  constexpr std::int64_t kPass = 256;
  const std::int64_t width = FixedWidth > 0 ? FixedWidth : cw;
  const std::uint8_t* const table = average.table();
  std::uint32_t r[kPass], g[kPass], b[kPass];
  Colour colours[kPass];
  for (std::int64_t first = 0; first < cells; first += kPass) {
    const std::int64_t count = std::min(kPass, cells - first);
    const std::int64_t k0 = first * width;
    for (std::int64_t i = 0; i < count; ++i) {
      r[i] = white, g[i] = white, b[i] = white;
      for (std::int64_t t = 0; t < width; ++t) {
        r[i] += sr[k0 + i * width + t];
        g[i] += sg[k0 + i * width + t];
        b[i] += sb[k0 + i * width + t];
      }
    }
    if (table != nullptr) {
      for (std::int64_t i = 0; i < count; ++i) colours[i] = detail::compose(table[r[i]], table[g[i]], table[b[i]]);
    } else {
      for (std::int64_t i = 0; i < count; ++i) {
        colours[i] = detail::compose(average.of_sum(r[i]), average.of_sum(g[i]), average.of_sum(b[i]));
      }
    }
    Colour* const out = row + k0;
    for (std::int64_t i = 0; i < count; ++i) {
      for (std::int64_t t = 0; t < width; ++t) out[i * width + t] = colours[i];
    }
  }
}

void copy_selection(const PixelView& picture, const Rect& selection, BlockRef out) {
  for (std::int64_t y = 0; y < selection.height(); ++y) {
    detail::read_run(picture, selection.left, selection.top + y, selection.width(), out.data + y * out.stride);
  }
}

}  // namespace

std::vector<Colour> mosaic(const PixelView& picture, const Rect& selection, std::int32_t cell_width,
                           std::int32_t cell_height) {
  std::vector<Colour> block = detail::new_block(selection);
  mosaic_into(picture, selection, cell_width, cell_height, detail::whole_block(block, selection));
  return block;
}

void mosaic_into(const PixelView& picture, const Rect& selection, std::int32_t cell_width, std::int32_t cell_height,
                 BlockRef out) {
  if (selection.empty()) return;
  if (cell_width < 1 || cell_height < 1) return copy_selection(picture, selection, out);
  const std::int64_t w = selection.width(), h = selection.height();
  if (cell_width == 1 && cell_height == 1) {  // every pixel is its own average
    copy_selection(picture, selection, out);
    for (std::int64_t y = 0; y < h; ++y) {
      Colour* const row = out.data + y * out.stride;
      for (std::int64_t x = 0; x < w; ++x) row[x] &= detail::kWhite;
    }
    return;
  }

  const std::int64_t cw = cell_width, ch = cell_height;
  const std::int64_t n = cw * ch;
  const std::int64_t cells_x = (w + cw - 1) / cw, cells_y = (h + ch - 1) / ch;
  const std::int64_t left = selection.left, top = selection.top;

  // Columns of the footprint (relative to left) that lie in the picture: [c0, c1).
  const std::int64_t footprint_w = cells_x * cw;
  const std::int64_t c0 = std::clamp<std::int64_t>(-left, 0, footprint_w);
  const std::int64_t c1 = std::max(c0, std::clamp<std::int64_t>(picture.picture_width - left, 0, footprint_w));
  const std::int64_t nc = c1 - c0;
  // Cells wholly in the picture's columns and in the selection: [ia, ib).
  const std::int64_t ia = (c0 + cw - 1) / cw, ib = std::max(ia, std::min(c1, w) / cw);

  std::vector<std::uint32_t> col_r(static_cast<std::size_t>(nc)), col_g(col_r.size()), col_b(col_r.size());
  std::vector<std::uint64_t> cell_r(static_cast<std::size_t>(cells_x)), cell_g(cell_r.size()), cell_b(cell_r.size());
  const Averager average(n, cells_x * cells_y);

  // Picture columns of cell i, relative to c0: [k0, k1) (empty when it has none).
  auto cell_columns = [&](std::int64_t i) {
    const std::int64_t k0 = std::max(i * cw, c0) - c0, k1 = std::min((i + 1) * cw, c1) - c0;
    return std::pair{k0, std::max(k0, k1)};
  };

  for (std::int64_t j = 0; j < cells_y; ++j) {
    // Picture rows of this band of cells.
    const std::int64_t r0 = std::max<std::int64_t>(top + j * ch, 0);
    const std::int64_t r1 = std::min<std::int64_t>(top + (j + 1) * ch, picture.picture_height);
    const std::int64_t inside_rows = std::max<std::int64_t>(r1 - r0, 0);
    // Whole cells take the quick way when one chunk of rows holds the band and their sums fit 32 bits.
    const bool quick = inside_rows > 0 && inside_rows <= kRowsPerChunk && n <= 0xFFFFFFFF / 255;
    const std::int64_t qa = quick ? ia : 0, qb = quick ? ib : 0;

    for (auto* sums : {&cell_r, &cell_g, &cell_b}) {
      std::fill(sums->begin(), sums->begin() + qa, 0);
      std::fill(sums->begin() + qb, sums->end(), 0);
    }
    for (std::int64_t chunk = r0; nc > 0 && chunk < r1; chunk += kRowsPerChunk) {
      const std::int64_t chunk_end = std::min(r1, chunk + kRowsPerChunk);
      std::uint32_t* const sr = col_r.data();
      std::uint32_t* const sg = col_g.data();
      std::uint32_t* const sb = col_b.data();
      {
        const Colour* p = detail::pixel_pointer(picture, left + c0, chunk);
        for (std::int64_t k = 0; k < nc; ++k) {
          const Colour v = p[k];
          sr[k] = v & 0xFF;
          sg[k] = (v >> 8) & 0xFF;
          sb[k] = (v >> 16) & 0xFF;
        }
      }
      for (std::int64_t y = chunk + 1; y < chunk_end; ++y) {
        const Colour* p = detail::pixel_pointer(picture, left + c0, y);
        for (std::int64_t k = 0; k < nc; ++k) {
          const Colour v = p[k];
          sr[k] += v & 0xFF;
          sg[k] += (v >> 8) & 0xFF;
          sb[k] += (v >> 16) & 0xFF;
        }
      }
      for (std::int64_t i = 0; i < cells_x; ++i) {
        if (i == qa) i = qb;  // the quick cells are summed when painted
        if (i >= cells_x) break;
        const auto [k0, k1] = cell_columns(i);
        std::uint64_t r = 0, g = 0, b = 0;
        for (std::int64_t k = k0; k < k1; ++k) {
          r += sr[k];
          g += sg[k];
          b += sb[k];
        }
        cell_r[i] += r;
        cell_g[i] += g;
        cell_b[i] += b;
      }
    }

    // Paint the band's first row of the block cell by cell, then copy it to the band's other rows.
    const std::int64_t y0 = j * ch, y1 = std::min(h, (j + 1) * ch);
    Colour* const first = out.data + y0 * out.stride;
    if (qb > qa) {
      const auto white = static_cast<std::uint32_t>(255 * (n - cw * inside_rows));
      const std::uint32_t* const sr = col_r.data() + (qa * cw - c0);
      const std::uint32_t* const sg = col_g.data() + (qa * cw - c0);
      const std::uint32_t* const sb = col_b.data() + (qa * cw - c0);
      Colour* const row = first + qa * cw;
      switch (cw) {
        case 2: paint_whole_cells<2>(sr, sg, sb, cw, qb - qa, white, average, row); break;
        case 3: paint_whole_cells<3>(sr, sg, sb, cw, qb - qa, white, average, row); break;
        case 4: paint_whole_cells<4>(sr, sg, sb, cw, qb - qa, white, average, row); break;
        default: paint_whole_cells<0>(sr, sg, sb, cw, qb - qa, white, average, row); break;
      }
    }
    for (std::int64_t i = 0; i < cells_x; ++i) {
      if (i == qa) i = qb;
      if (i >= cells_x) break;
      const auto [k0, k1] = cell_columns(i);
      const std::int64_t inside = (k1 - k0) * inside_rows;
      const Colour c =
          detail::compose(average(cell_r[i], inside), average(cell_g[i], inside), average(cell_b[i], inside));
      std::fill(first + i * cw, first + std::min(w, (i + 1) * cw), c);
    }
    for (std::int64_t y = y0 + 1; y < y1; ++y) {
      std::memcpy(out.data + y * out.stride, first, static_cast<std::size_t>(w) * sizeof(Colour));
    }
  }
}

}  // namespace murkel
