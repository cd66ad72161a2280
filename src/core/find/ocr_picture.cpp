// Preparing a picture for the text reader. The reader finds little or no
// text of a dark theme as it stands: it is made for dark print on paper.
#include "core/find/ocr_picture.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace murkel {
namespace {

constexpr std::int32_t kTile = 16;

std::uint8_t grey_of(Colour c) {
  return static_cast<std::uint8_t>((red_of(c) * 77 + green_of(c) * 150 + blue_of(c) * 29) >> 8);
}

// The most common grey of each kTile x kTile tile: the ground, where text
// covers less than its part of the tile.
std::vector<std::uint8_t> tile_grounds(const std::vector<std::uint8_t>& grey, std::int32_t width,
                                       std::int32_t height, std::int32_t tiles_x, std::int32_t tiles_y) {
  std::vector<std::uint8_t> grounds(static_cast<std::size_t>(tiles_x) * tiles_y);
  std::array<std::uint16_t, 256> histogram{};
  for (std::int32_t ty = 0; ty < tiles_y; ++ty) {
    for (std::int32_t tx = 0; tx < tiles_x; ++tx) {
      histogram.fill(0);
      const std::int32_t x1 = std::min(width, (tx + 1) * kTile);
      const std::int32_t y1 = std::min(height, (ty + 1) * kTile);
      for (std::int32_t y = ty * kTile; y < y1; ++y) {
        const std::uint8_t* row = grey.data() + static_cast<std::ptrdiff_t>(y) * width;
        for (std::int32_t x = tx * kTile; x < x1; ++x) ++histogram[row[x]];
      }
      grounds[static_cast<std::size_t>(ty) * tiles_x + tx] =
          static_cast<std::uint8_t>(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    }
  }
  return grounds;
}

// Each pixel's distance from the ground of its tile. (The nearest of the
// neighbouring tiles' grounds would serve pixels beside a panel of another
// colour, but loses text whose ink is that other panel's ground: dark text
// on white beside a dark side bar.)
std::vector<std::uint8_t> contrast(const std::vector<std::uint8_t>& grey, std::int32_t width, std::int32_t height) {
  const std::int32_t tiles_x = (width + kTile - 1) / kTile;
  const std::int32_t tiles_y = (height + kTile - 1) / kTile;
  const std::vector<std::uint8_t> grounds = tile_grounds(grey, width, height, tiles_x, tiles_y);
  std::vector<std::uint8_t> out(grey.size());
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* ground = grounds.data() + static_cast<std::ptrdiff_t>(y / kTile) * tiles_x;
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y) * width;
    for (std::int32_t x = 0; x < width; ++x)
      out[at + x] = static_cast<std::uint8_t>(std::abs(int{grey[at + x]} - int{ground[x / kTile]}));
  }
  return out;
}

// The contrast that counts as full ink: most text strokes reach it, so that
// grey text on a grey ground becomes as dark as black print.
int full_ink(const std::vector<std::uint8_t>& contrast_values) {
  std::array<std::uint64_t, 256> histogram{};
  for (std::uint8_t c : contrast_values) ++histogram[c];
  std::uint64_t strokes = 0;
  for (int c = 32; c < 256; ++c) strokes += histogram[c];
  if (strokes == 0) return 255;
  std::uint64_t seen = 0;
  for (int c = 255; c >= 32; --c) {
    seen += histogram[c];
    if (seen * 20 >= strokes) return std::max(c, 64);  // the top 5 % of strokes
  }
  return 64;
}

}  // namespace

GreyPicture prepare_for_ocr(const PixelView& picture) {
  const std::int32_t width = picture.picture_width;
  const std::int32_t height = picture.picture_height;
  GreyPicture out;
  if (width <= 0 || height <= 0) return out;

  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) grey[static_cast<std::size_t>(y) * width + x] = grey_of(picture.at(x, y));
  std::vector<std::uint8_t> ink = contrast(grey, width, height);
  grey = {};
  const int full = full_ink(ink);
  for (std::uint8_t& c : ink) c = static_cast<std::uint8_t>(std::min(255, c * 255 / full));

  const std::int64_t pixels = std::int64_t{width} * height;
  out.scale = pixels <= kEnlargeUpToPixels ? 2 : 1;
  out.width = width * out.scale;
  out.height = height * out.scale;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  if (out.scale == 1) {
    for (std::size_t i = 0; i < ink.size(); ++i) out.pixels[i] = static_cast<std::uint8_t>(255 - ink[i]);
    return out;
  }
  // Twice the size, by linear interpolation: each new pixel lies a quarter
  // of the way from its own source pixel to the next one on each axis.
  const auto at = [&](std::int32_t x, std::int32_t y) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return int{ink[static_cast<std::size_t>(y) * width + x]};
  };
  for (std::int32_t y = 0; y < out.height; ++y) {
    const std::int32_t sy = y / 2;
    const std::int32_t ny = (y & 1) ? sy + 1 : sy - 1;
    std::uint8_t* row = out.pixels.data() + static_cast<std::ptrdiff_t>(y) * out.width;
    for (std::int32_t x = 0; x < out.width; ++x) {
      const std::int32_t sx = x / 2;
      const std::int32_t nx = (x & 1) ? sx + 1 : sx - 1;
      const int v = 9 * at(sx, sy) + 3 * at(nx, sy) + 3 * at(sx, ny) + at(nx, ny);
      row[x] = static_cast<std::uint8_t>(255 - (v + 8) / 16);
    }
  }
  return out;
}

std::vector<std::int32_t> band_cuts(const GreyPicture& grey, int bands) {
  std::vector<std::int32_t> cuts;
  if (bands < 2 || grey.height < 2 * bands) return cuts;
  // A blank row has almost no ink: a divider line or a scroll bar may cross it.
  std::vector<bool> blank(static_cast<std::size_t>(grey.height));
  const std::int32_t allowed = grey.width / 200 + 2;
  for (std::int32_t y = 0; y < grey.height; ++y) {
    const std::uint8_t* row = grey.pixels.data() + static_cast<std::ptrdiff_t>(y) * grey.width;
    blank[y] = std::count_if(row, row + grey.width, [](std::uint8_t v) { return v < 160; }) <= allowed;
  }
  const std::int32_t run_needed = 3 * grey.scale;
  const std::int32_t reach = grey.height / (4 * bands);
  for (int b = 1; b < bands; ++b) {
    const std::int32_t target = static_cast<std::int32_t>(std::int64_t{grey.height} * b / bands);
    std::int32_t best = -1;
    for (std::int32_t y = 0, run = 0; y < grey.height; ++y) {
      run = blank[y] ? run + 1 : 0;
      if (run < run_needed || (y + 1 < grey.height && blank[y + 1])) continue;
      const std::int32_t middle = y - run / 2;  // the middle of a run that ends here
      if (std::abs(middle - target) <= reach && (best < 0 || std::abs(middle - target) < std::abs(best - target)))
        best = middle;
    }
    if (best > 0 && (cuts.empty() || best > cuts.back())) cuts.push_back(best);
  }
  return cuts;
}

}  // namespace murkel
