// The five effects: worked examples, edge cases, and the fast code
// compared with slow references written straight from the per-pixel rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "effects/effects.h"

namespace murkel {
namespace {

// ---------------------------------------------------------------- helpers

// A picture whose components differ per channel and per position (red != blue).
Image gradient_image(int width, int height) {
  Image image{width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.pixels[y * width + x] =
          make_colour((x * 7 + y * 3) & 0xFF, (x * 13 + y * 29 + 5) & 0xFF, (200 - x * 11 + y) & 0xFF);
    }
  }
  return image;
}

Image random_image(int width, int height, std::mt19937& rng) {
  Image image{width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height)};
  for (auto& p : image.pixels) p = rng() & 0x00FFFFFFu;
  return image;
}

// Copies only the picture pixels of `footprint` into `storage` and views them,
// so that an effect reading past its footprint reads garbage or trips ASan.
PixelView footprint_view(const Image& image, const Rect& footprint, std::vector<Colour>& storage) {
  const Rect clip{std::clamp(footprint.left, 0, image.width), std::clamp(footprint.top, 0, image.height),
                  std::clamp(footprint.right, 0, image.width), std::clamp(footprint.bottom, 0, image.height)};
  const auto w = std::max<std::int64_t>(clip.width(), 0), h = std::max<std::int64_t>(clip.height(), 0);
  storage.assign(static_cast<std::size_t>(std::max<std::int64_t>(w * h, 1)), 0xDEADBEEFu);
  for (std::int64_t y = 0; y < h; ++y) {
    for (std::int64_t x = 0; x < w; ++x) {
      storage[y * w + x] = image.pixels[(clip.top + y) * image.width + clip.left + x];
    }
  }
  return PixelView{storage.data(), static_cast<std::ptrdiff_t>(w), clip, image.width, image.height};
}

// Component-wise nearbyint of the mean (ties to even).
Colour rounded_average(const std::vector<Colour>& pixels) {
  int r = 0, g = 0, b = 0;
  for (Colour v : pixels) r += red_of(v), g += green_of(v), b += blue_of(v);
  const double m = static_cast<double>(pixels.size());
  return make_colour(static_cast<int>(std::nearbyint(r / m)), static_cast<int>(std::nearbyint(g / m)),
                     static_cast<int>(std::nearbyint(b / m)));
}

Colour block_at(const std::vector<Colour>& block, const Rect& sel, std::int64_t x, std::int64_t y) {
  return block[y * sel.width() + x];
}

// ------------------------------------------------- slow per-pixel references

// 3.1: components of a read, 0xFFFFFFFF outside counting 255 each.
Colour plain_read(const Image& image, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return 0xFFFFFFFFu;
  return image.pixels[y * image.width + x];
}

Colour plain_compose(double r, double g, double b) {
  return make_colour(static_cast<int>(std::nearbyint(r)), static_cast<int>(std::nearbyint(g)),
                     static_cast<int>(std::nearbyint(b)));
}

// 3.2, step by step: paint each cell into a scratch of the grown size, then copy W x H.
std::vector<Colour> reference_mosaic(const Image& image, const Rect& sel, int cw, int ch) {
  const int w = static_cast<int>(sel.width()), h = static_cast<int>(sel.height());
  std::vector<Colour> scratch(static_cast<std::size_t>(w + cw) * (h + ch));
  const int sw = w + cw;
  for (int X = 0; X < w; X += cw) {
    for (int Y = 0; Y < h; Y += ch) {
      std::int64_t r = 0, g = 0, b = 0;
      for (int i = 0; i < cw; ++i) {
        for (int j = 0; j < ch; ++j) {
          const Colour v = plain_read(image, sel.left + X + i, sel.top + Y + j);
          r += v & 0xFF, g += (v >> 8) & 0xFF, b += (v >> 16) & 0xFF;
        }
      }
      const double n = static_cast<double>(cw) * ch;
      const Colour c = plain_compose(r / n, g / n, b / n);
      for (int i = 0; i < cw; ++i)
        for (int j = 0; j < ch; ++j) scratch[(Y + j) * sw + X + i] = c;
    }
  }
  std::vector<Colour> block;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) block.push_back(scratch[y * sw + x]);
  return block;
}

// 3.3, with its sample buffer in the byte order red, blue, green.
std::vector<Colour> reference_blur(const Image& image, const Rect& sel, int level) {
  const int w = static_cast<int>(sel.width()), h = static_cast<int>(sel.height());
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(w + 1) * (h + 1) * 3);
  for (int x = 0; x <= w; ++x) {
    for (int y = 0; y <= h; ++y) {
      const Colour v = plain_read(image, sel.left + x, sel.top + y);
      const std::size_t i = (static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * (w + 1)) * 3;
      buffer[i] = v & 0xFF;
      buffer[i + 1] = (v >> 16) & 0xFF;
      buffer[i + 2] = (v >> 8) & 0xFF;
    }
  }
  std::vector<Colour> block;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double r = 0, g = 0, b = 0;
      int missing = 0;
      for (int k = 2; k <= 8; k += 2) {
        const int dx = ((k % 3) - 1) * level, dy = ((k - 1) / 3 - 1) * level;
        const int sx = x + dx, sy = y + dy;
        if (0 <= sx && sx <= w && 0 <= sy && sy <= h) {
          const std::size_t i = (static_cast<std::size_t>(sx) + static_cast<std::size_t>(sy) * (w + 1)) * 3;
          r += buffer[i], b += buffer[i + 1], g += buffer[i + 2];
        } else {
          ++missing;
        }
      }
      const int m = 4 - missing;
      block.push_back(plain_compose(r / m, g / m, b / m));
    }
  }
  return block;
}

// 3.4, with the register built bit by bit and the fault fix (outside is white).
std::vector<int> reference_table() {
  std::vector<int> table(256, 0);
  int b[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int n = 1; n < 256; ++n) {
    for (int i = 8; i >= 1; --i) b[i] = b[i - 1];
    b[0] = 0;
    if (b[8]) b[0] ^= 1, b[2] ^= 1, b[3] ^= 1, b[4] ^= 1;
    int v = 0;
    for (int i = 0; i < 8; ++i) v += b[i] << i;
    table[n] = v;
  }
  return table;
}

std::vector<Colour> reference_diffusion(const Image& image, const Rect& sel) {
  const auto table = reference_table();
  const int w = static_cast<int>(sel.width()), h = static_cast<int>(sel.height());
  const int sw = w + 16;
  std::vector<Colour> scratch(static_cast<std::size_t>(sw) * (h + 16));
  for (int bx = 0; 16 * bx < w; ++bx) {
    for (int by = 0; 16 * by < h; ++by) {
      for (int p = 0; p < 256; ++p) {
        const int q = table[p];
        Colour v = plain_read(image, sel.left + 16 * bx + q % 16, sel.top + 16 * by + q / 16);
        if (v == 0xFFFFFFFFu) v = 0x00FFFFFFu;
        scratch[(16 * by + p / 16) * sw + 16 * bx + p % 16] = v;
      }
    }
  }
  std::vector<Colour> block;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) block.push_back(scratch[y * sw + x]);
  return block;
}

// 3.5 with its own generator.
struct ReferenceRandom {
  std::uint32_t state;
  std::uint32_t next() {
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint32_t>(std::nearbyint(state / 65536.0)) % 32768u;
  }
  double fraction() {
    const std::uint32_t a = next(), b = next();
    return ((a * b) % 100000u) / 100000.0;
  }
};

std::vector<int> reference_shifts(std::uint32_t seed, int level, int rows) {
  ReferenceRandom random{seed};
  std::vector<int> shifts;
  for (int y = 0; y < rows; ++y) {
    const double r = random.fraction();
    shifts.push_back(static_cast<int>(std::trunc(r * level - level / 2.0)));
  }
  return shifts;
}

std::vector<Colour> reference_scramble(const Image& image, const Rect& sel, int level, std::uint32_t seed) {
  const int w = static_cast<int>(sel.width()), h = static_cast<int>(sel.height());
  std::vector<Colour> block;
  if (w == 0 || h == 0) return block;
  const auto shifts = reference_shifts(seed, level, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int s = (x + shifts[y]) % w;
      if (s < 0) s += w;
      block.push_back(plain_read(image, sel.left + s, sel.top + y));
    }
  }
  return block;
}

Rect random_selection(const Image& image, std::mt19937& rng, int reach) {
  std::uniform_int_distribution<int> x(-reach, image.width + reach), y(-reach, image.height + reach);
  int l = x(rng), r = x(rng), t = y(rng), b = y(rng);
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return Rect{l, t, r, b};
}

// ------------------------------------------------------------------ mosaic

TEST(Mosaic, FourCellsOfTwentyByTwentyAreTheirExactAverages) {
  const Image image = gradient_image(30, 30);
  const Rect sel{3, 4, 23, 24};
  const auto block = mosaic(image.view(), sel, 10, 10);
  ASSERT_EQ(block.size(), 400u);
  for (int cy = 0; cy < 2; ++cy) {
    for (int cx = 0; cx < 2; ++cx) {
      int r = 0, g = 0, b = 0;
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
          const Colour v = image.pixels[(4 + cy * 10 + y) * 30 + 3 + cx * 10 + x];
          r += red_of(v), g += green_of(v), b += blue_of(v);
        }
      const Colour expected = make_colour(static_cast<int>(std::nearbyint(r / 100.0)),
                                          static_cast<int>(std::nearbyint(g / 100.0)),
                                          static_cast<int>(std::nearbyint(b / 100.0)));
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(block_at(block, sel, cx * 10 + x, cy * 10 + y), expected);
    }
  }
  EXPECT_NE(block_at(block, sel, 0, 0), block_at(block, sel, 10, 0));
}

TEST(Mosaic, TwoPixelCellsRoundTiesToEven) {
  // Red sums 5 and 7, green 2 + 1 = 3 -> 2, blue 100 + 101 = 201 -> 100.
  Image image{4, 1, {make_colour(2, 2, 100), make_colour(3, 1, 101), make_colour(3, 0, 9), make_colour(4, 0, 9)}};
  const auto block = mosaic(image.view(), Rect{0, 0, 4, 1}, 2, 1);
  EXPECT_EQ(block, (std::vector<Colour>{make_colour(2, 2, 100), make_colour(2, 2, 100), make_colour(4, 0, 9),
                                        make_colour(4, 0, 9)}));
}

TEST(Mosaic, PartialLastCellAveragesPicturePixelsBeyondTheSelection) {
  const Image image = gradient_image(40, 3);
  const Rect sel{2, 0, 27, 1};  // 25 wide: cells at 0, 10, 20
  const auto block = mosaic(image.view(), sel, 10, 1);
  const Colour third = rounded_average(std::vector<Colour>(image.pixels.begin() + 22, image.pixels.begin() + 32));
  for (int x = 20; x < 25; ++x) EXPECT_EQ(block_at(block, sel, x, 0), third);
}

TEST(Mosaic, CellsPastThePictureCountWhite) {
  // A 3 x 1 picture, a 2 x 2 cell at its right edge: two picture pixels, two white.
  Image image{3, 1, {make_colour(0, 0, 0), make_colour(10, 20, 30), make_colour(40, 50, 61)}};
  const auto block = mosaic(image.view(), Rect{1, 0, 3, 1}, 2, 2);
  // red (10 + 40 + 510) / 4 = 140, green (20 + 50 + 510) / 4 = 145, blue (30 + 61 + 510) / 4 = 150.25
  EXPECT_EQ(block, (std::vector<Colour>{make_colour(140, 145, 150), make_colour(140, 145, 150)}));
}

TEST(Mosaic, OneByOneCellsKeepEveryPixel) {
  const Image image = gradient_image(9, 7);
  const Rect sel{1, 2, 8, 7};
  const auto block = mosaic(image.view(), sel, 1, 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(block_at(block, sel, x, y), image.pixels[(2 + y) * 9 + 1 + x]);
}

TEST(Mosaic, CellLargerThanTheSelectionMakesOneColour) {
  const Image image = gradient_image(12, 12);
  const Rect sel{1, 1, 4, 3};
  const auto block = mosaic(image.view(), sel, 6, 5);
  EXPECT_EQ(block, reference_mosaic(image, sel, 6, 5));
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [&](Colour c) { return c == block[0]; }));
}

TEST(Mosaic, CellBelowOneLeavesTheSelectionAsItIs) {
  const Image image = gradient_image(8, 8);
  const Rect sel{2, 1, 6, 5};
  for (const auto& [cw, ch] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, -3}, std::pair{-99, 10}}) {
    const auto block = mosaic(image.view(), sel, cw, ch);
    ASSERT_EQ(block.size(), 16u);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(block_at(block, sel, x, y), image.pixels[(1 + y) * 8 + 2 + x]);
    EXPECT_EQ(mosaic_footprint(sel, cw, ch), sel);
  }
}

TEST(Mosaic, HugeCellsCountTheWhiteArithmetically) {
  Image image = gradient_image(50, 40);
  const Rect sel{5, 5, 50, 40};
  const auto block = mosaic(image.view(), sel, 999, 999);
  // Sum over the 45 x 35 picture pixels plus 255 for the other 999 * 999 - 1575.
  std::int64_t r = 0, g = 0, b = 0;
  for (int y = 5; y < 40; ++y)
    for (int x = 5; x < 50; ++x) {
      const Colour v = image.pixels[y * 50 + x];
      r += red_of(v), g += green_of(v), b += blue_of(v);
    }
  const std::int64_t white = 255 * (999 * 999 - 45 * 35);
  const double n = 999.0 * 999.0;
  const Colour expected = make_colour(static_cast<int>(std::nearbyint((r + white) / n)),
                                      static_cast<int>(std::nearbyint((g + white) / n)),
                                      static_cast<int>(std::nearbyint((b + white) / n)));
  EXPECT_EQ(block, std::vector<Colour>(45 * 35, expected));
  EXPECT_EQ(block, reference_mosaic(image, sel, 999, 999));

  // A single-row cell of 2^31 - 1 pixels on a black picture: 255 * (n - 1) / n rounds to 255.
  image.pixels.assign(image.pixels.size(), 0);
  EXPECT_EQ(mosaic(image.view(), Rect{0, 0, 3, 1}, 2147483647, 1), std::vector<Colour>(3, 0x00FFFFFFu));
  // Cells of 2^62 pixels: the deficit path; one black pixel does not move the average from white.
  EXPECT_EQ(mosaic(image.view(), Rect{49, 39, 50, 40}, 2147483647, 2147483647),
            std::vector<Colour>(1, 0x00FFFFFFu));
}

TEST(Mosaic, MatchesThePlainReferenceOnRandomPicturesAndSelections) {
  std::mt19937 rng(1234);
  std::vector<Colour> storage;
  for (int trial = 0; trial < 600; ++trial) {
    const Image image = random_image(1 + rng() % 40, 1 + rng() % 40, rng);
    const Rect sel = random_selection(image, rng, trial % 3 == 0 ? 6 : 0);
    const int cw = 1 + rng() % (trial % 5 == 0 ? 60 : 9), ch = 1 + rng() % (trial % 7 == 0 ? 60 : 9);
    const PixelView view = footprint_view(image, mosaic_footprint(sel, cw, ch), storage);
    ASSERT_EQ(mosaic(view, sel, cw, ch), reference_mosaic(image, sel, cw, ch))
        << trial << ": " << image.width << "x" << image.height << " sel " << sel.left << "," << sel.top << ","
        << sel.right << "," << sel.bottom << " cell " << cw << "x" << ch;
  }
}

// -------------------------------------------------------------------- blur

TEST(Blur, LevelOneInTheMiddleAveragesItselfLeftUpperRightAndLowerRight) {
  const Image image = gradient_image(20, 20);
  const Rect sel{2, 2, 18, 18};
  const auto block = blur(image.view(), sel, 1);
  const int x = 7, y = 6;  // selection-relative
  auto px = [&](int dx, int dy) { return image.pixels[(2 + y + dy) * 20 + 2 + x + dx]; };
  EXPECT_EQ(block_at(block, sel, x, y), rounded_average({px(0, 0), px(-1, 0), px(1, -1), px(1, 1)}));
}

TEST(Blur, LevelZeroKeepsEveryColour) {
  const Image image = gradient_image(11, 9);
  const Rect sel{0, 0, 11, 9};
  const auto block = blur(image.view(), sel, 0);
  EXPECT_EQ(block, image.pixels);
}

TEST(Blur, OneByOneAtLevelOneAveragesWithTheLowerRightPixelAndTiesGoToEven) {
  // (1,1) holds red 2 -> (2 + 3) / 2 = 2.5 -> 2; green (7 + 0) / 2 = 3.5 -> 4; blue (1 + 2) / 2 = 1.5 -> 2.
  Image image{3, 3, std::vector<Colour>(9, make_colour(99, 99, 99))};
  image.pixels[0] = make_colour(3, 0, 2);
  image.pixels[4] = make_colour(2, 7, 1);
  EXPECT_EQ(blur(image.view(), Rect{0, 0, 1, 1}, 1), std::vector<Colour>{make_colour(2, 4, 2)});
}

TEST(Blur, LastColumnUsesTheColumnRightOfTheSelectionOnlyAtLevelOne) {
  const Image image = gradient_image(10, 10);
  const Rect sel{2, 2, 6, 8};
  auto px = [&](int x, int y) { return image.pixels[(2 + y) * 10 + 2 + x]; };
  const int x = 3, y = 3;
  EXPECT_EQ(block_at(blur(image.view(), sel, 1), sel, x, y), rounded_average({px(3, 3), px(2, 3), px(4, 2), px(4, 4)}));
  EXPECT_EQ(block_at(blur(image.view(), sel, 2), sel, x, y), rounded_average({px(3, 3), px(1, 3)}));
}

TEST(Blur, MissingSamplesInTheTopRowsAndLeftColumnsAverageOverThree) {
  const Image image = gradient_image(16, 16);
  const Rect sel{0, 0, 16, 16};
  const auto block = blur(image.view(), sel, 2);
  EXPECT_EQ(block, reference_blur(image, sel, 2));
  auto px = [&](int x, int y) { return image.pixels[y * 16 + x]; };
  // Top row, middle: self, left, lower-right.
  const Colour top[] = {px(6, 1), px(4, 1), px(8, 3)};
  int r = 0;
  for (Colour v : top) r += red_of(v);
  EXPECT_EQ(red_of(block_at(block, sel, 6, 1)), static_cast<int>(std::nearbyint(r / 3.0)));
  // Left column, lower: self, upper-right, lower-right.
  const Colour side[] = {px(1, 6), px(3, 4), px(3, 8)};
  r = 0;
  for (Colour v : side) r += red_of(v);
  EXPECT_EQ(red_of(block_at(block, sel, 1, 6)), static_cast<int>(std::nearbyint(r / 3.0)));
}

TEST(Blur, SamplesPastThePictureEdgeCountWhite) {
  // A black 4 x 3 picture, the whole of it selected: the extra column and row are white.
  Image image{4, 3, std::vector<Colour>(12, 0)};
  const Rect sel{0, 0, 4, 3};
  const auto block = blur(image.view(), sel, 1);
  // (3, 1): self 0, left 0, upper-right (4, 0) white, lower-right (4, 2) white: 510 / 4 = 127.5 -> 128.
  EXPECT_EQ(block_at(block, sel, 3, 1), 0x00808080u);
  // (1, 2): self, left, lower-right (2, 3) white; upper-right (2, 1) black: 255 / 4 = 63.75 -> 64.
  EXPECT_EQ(block_at(block, sel, 1, 2), 0x00404040u);
  EXPECT_EQ(block_at(block, sel, 1, 1), 0u);
  EXPECT_EQ(block, reference_blur(image, sel, 1));
}

TEST(Blur, MatchesThePlainReferenceOnRandomPicturesAndSelections) {
  std::mt19937 rng(99);
  std::vector<Colour> storage;
  for (int trial = 0; trial < 800; ++trial) {
    const Image image = random_image(1 + rng() % 40, 1 + rng() % 40, rng);
    const Rect sel = random_selection(image, rng, trial % 3 == 0 ? 5 : 0);
    const int level = trial % 11 == 0 ? static_cast<int>(rng() % 300) : static_cast<int>(rng() % 6);
    const PixelView view = footprint_view(image, blur_footprint(sel), storage);
    ASSERT_EQ(blur(view, sel, static_cast<std::uint16_t>(level)), reference_blur(image, sel, level))
        << trial << ": " << image.width << "x" << image.height << " sel " << sel.left << "," << sel.top << ","
        << sel.right << "," << sel.bottom << " level " << level;
  }
}

// --------------------------------------------------------------- diffusion

TEST(Diffusion, TableHeadTailAndPermutation) {
  const std::uint8_t* table = diffusion_table();
  const int head[] = {0,  2,   4,   8,   16,  32,  64, 128, 29, 58, 116, 232, 205, 135, 19, 38,
                      76, 152, 45,  90,  180, 117, 234, 201, 143, 3,  6,  12,  24,  48,  96, 192};
  const int tail[] = {44, 88, 176, 125, 250, 233, 207, 131, 27, 54, 108, 216, 173, 71, 142, 1};
  for (int i = 0; i < 32; ++i) EXPECT_EQ(table[i], head[i]) << i;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(table[240 + i], tail[i]) << 240 + i;
  const auto reference = reference_table();
  std::vector<bool> seen(256, false);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(table[i], reference[i]) << i;
    seen[table[i]] = true;
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool b) { return b; }));
}

TEST(Diffusion, KnownMovesInOneTile) {
  const Image image = gradient_image(20, 20);
  const Rect sel{2, 3, 18, 19};
  const auto block = diffusion(image.view(), sel);
  auto src = [&](int col, int row) { return image.pixels[(3 + row) * 20 + 2 + col]; };
  EXPECT_EQ(block_at(block, sel, 0, 0), src(0, 0));
  EXPECT_EQ(block_at(block, sel, 1, 0), src(2, 0));
  EXPECT_EQ(block_at(block, sel, 8, 0), src(13, 1));
  EXPECT_EQ(block_at(block, sel, 15, 15), src(1, 0));
}

TEST(Diffusion, TilesKeepTheirPixelsAndTwiceIsThePermutationSquared) {
  const Image image = gradient_image(40, 20);
  const Rect sel{4, 2, 36, 18};  // two tiles
  const auto once = diffusion(image.view(), sel);
  const std::uint8_t* table = diffusion_table();
  for (int tile = 0; tile < 2; ++tile) {
    std::vector<Colour> before, after;
    for (int p = 0; p < 256; ++p) {
      before.push_back(image.pixels[(2 + p / 16) * 40 + 4 + tile * 16 + p % 16]);
      after.push_back(block_at(once, sel, tile * 16 + p % 16, p / 16));
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after) << tile;
  }
  Image twice_image = image;
  put_block(twice_image, sel, once);
  const auto twice = diffusion(twice_image.view(), sel);
  for (int p = 0; p < 256; ++p) {
    const int q = table[table[p]];
    EXPECT_EQ(block_at(twice, sel, 16 + p % 16, p / 16), image.pixels[(2 + q / 16) * 40 + 4 + 16 + q % 16]);
  }
}

TEST(Diffusion, PartialTilesTakePicturePixelsBeyondTheSelectionAndWhiteBeyondThePicture) {
  const Image image = gradient_image(30, 18);
  const Rect sel{2, 0, 22, 16};  // 20 wide: the second tile covers columns 18..33 of the picture
  const auto block = diffusion(image.view(), sel);
  EXPECT_EQ(block, reference_diffusion(image, sel));
  // Place 2 of the second tile (selection column 18) receives tile column 4: picture column 22,
  // outside the selection.
  EXPECT_EQ(block_at(block, sel, 16 + 2, 0), image.pixels[0 * 30 + 2 + 16 + 4]);
  // A tile hanging past the picture's right edge: place 3 <- column 8, picture column 30: white.
  const Rect edge{22, 0, 30, 16};
  const auto edge_block = diffusion(image.view(), edge);
  EXPECT_EQ(block_at(edge_block, edge, 3, 0), 0x00FFFFFFu);
  EXPECT_EQ(edge_block, reference_diffusion(image, edge));
}

TEST(Diffusion, MatchesThePlainReferenceOnRandomPicturesAndSelections) {
  std::mt19937 rng(7);
  std::vector<Colour> storage;
  for (int trial = 0; trial < 400; ++trial) {
    const Image image = random_image(1 + rng() % 70, 1 + rng() % 70, rng);
    const Rect sel = random_selection(image, rng, trial % 3 == 0 ? 20 : 0);
    const PixelView view = footprint_view(image, diffusion_footprint(sel), storage);
    const auto block = diffusion(view, sel);
    ASSERT_EQ(block, reference_diffusion(image, sel)) << trial;
    if (sel.width() % 16 == 0 && sel.height() % 16 == 0 && sel.left >= 0 && sel.top >= 0 &&
        sel.right <= image.width && sel.bottom <= image.height) {
      std::vector<Colour> before;
      for (int y = sel.top; y < sel.bottom; ++y)
        for (int x = sel.left; x < sel.right; ++x) before.push_back(image.pixels[y * image.width + x]);
      auto after = block;
      std::sort(before.begin(), before.end());
      std::sort(after.begin(), after.end());
      EXPECT_EQ(before, after) << trial;
    }
  }
}

// ---------------------------------------------------------------- scramble

// Each row of a picture whose pixels encode their column: the shift read back from the block.
std::vector<int> shifts_seen(const std::vector<Colour>& block, int width, int rows, int left) {
  std::vector<int> shifts;
  for (int y = 0; y < rows; ++y) shifts.push_back(static_cast<int>(block[y * width] & 0xFFFF) - left);
  return shifts;
}

Image column_image(int width, int height) {
  Image image{width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      image.pixels[y * width + x] = static_cast<Colour>(x) | (static_cast<Colour>(y & 0xFF) << 16);
    }
  return image;
}

TEST(Scramble, RowsAreRotatedByTheirTruncatedShiftsForOddNegativeAndLargeLevels) {
  const Image image = gradient_image(37, 23);
  for (const int level : {32, 5, 7, -5, -32, 1, -1, 100, 32767, -32768}) {
    for (const Rect sel : {Rect{0, 0, 37, 23}, Rect{3, 2, 14, 20}, Rect{10, 5, 13, 9}}) {
      for (const std::uint32_t seed : {0u, 1u, 123456789u}) {
        RandomSource random;
        seed_random_source(random, seed);
        ASSERT_EQ(scramble(image.view(), sel, level, random), reference_scramble(image, sel, level, seed))
            << "level " << level << " seed " << seed << " width " << sel.width();
      }
    }
  }
}

TEST(Scramble, ShiftIsComputedInDoubleNotExtendedPrecision) {
  // Seed 34992 gives r = 0.00032 first. In double, 0.00032 * 6250 is 2 and the shift is
  // trunc(2 - 3125) = -3123; with x87 extended precision (32-bit GCC's default) the product
  // stays a hair above 2 and the shift would be -3122.
  const Image image = column_image(10, 1);
  const Rect sel{0, 0, 10, 1};
  RandomSource random;
  seed_random_source(random, 34992);
  EXPECT_EQ(scramble(image.view(), sel, 6250, random)[0], 7u);  // (0 - 3123) mod 10
  seed_random_source(random, 34992);
  EXPECT_EQ(scramble(image.view(), sel, -6250, random)[0], 3u);  // (0 + 3123) mod 10
}

TEST(Scramble, LevelThirtyTwoShiftsFromMinusSixteenToFifteen) {
  const Image image = column_image(100, 3000);
  RandomSource random;
  seed_random_source(random, 42);
  const auto block = scramble(image.view(), Rect{40, 0, 80, 3000}, 32, random);
  const auto expected = reference_shifts(42, 32, 3000);
  const auto seen = shifts_seen(block, 40, 3000, 40);
  int zeros = 0, ones = 0;
  for (int y = 0; y < 3000; ++y) {
    ASSERT_EQ((seen[y] - expected[y] + 40) % 40, 0) << y;
    ASSERT_GE(expected[y], -16);
    ASSERT_LE(expected[y], 15);
    zeros += expected[y] == 0, ones += expected[y] == 1;
  }
  EXPECT_GT(zeros, ones * 3 / 2);  // truncation toward zero makes 0 about twice as common
}

TEST(Scramble, LevelZeroAndWidthOneKeepEveryPixel) {
  const Image image = gradient_image(12, 8);
  RandomSource random;
  seed_random_source(random, 5);
  const Rect sel{1, 1, 11, 7};
  const auto zero = scramble(image.view(), sel, 0, random);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(block_at(zero, sel, x, y), image.pixels[(1 + y) * 12 + 1 + x]);
  const Rect column{4, 0, 5, 8};
  const auto narrow = scramble(image.view(), column, 32000, random);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(narrow[y], image.pixels[y * 12 + 4]);
}

TEST(Scramble, ShiftsAsLargeAsTheWidthStillWrap) {
  const Image image = column_image(50, 200);
  for (int width = 1; width <= 6; ++width) {
    const Rect sel{20, 0, 20 + width, 200};
    RandomSource random;
    seed_random_source(random, 77);
    const auto block = scramble(image.view(), sel, 40, random);
    const auto shifts = reference_shifts(77, 40, 200);
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < width; ++x) {
        const int s = ((x + shifts[y]) % width + width) % width;
        ASSERT_EQ(block[y * width + x] & 0xFFFF, static_cast<Colour>(20 + s)) << width << " " << y;
      }
    }
  }
}

TEST(Scramble, EmptySelectionDrawsNothingAndOneFractionPerRowOtherwise) {
  const Image image = gradient_image(8, 8);
  RandomSource random;
  for (const Rect sel : {Rect{2, 2, 2, 6}, Rect{2, 2, 6, 2}, Rect{0, 0, 0, 0}}) {
    seed_random_source(random, 9);
    EXPECT_TRUE(scramble(image.view(), sel, 32, random).empty());
    EXPECT_EQ(random.state, 9u);
  }
  seed_random_source(random, 9);
  (void)scramble(image.view(), Rect{1, 1, 4, 6}, 32, random);
  RandomSource expected;
  seed_random_source(expected, 9);
  for (int i = 0; i < 10; ++i) (void)next_random_value(expected);
  EXPECT_EQ(random.state, expected.state);
}

// -------------------------------------------------------------------- fill

TEST(Fill, EveryPixelOfTheSelectionTakesTheColour) {
  EXPECT_EQ(fill(Rect{3, 4, 6, 6}, 0x00123456u), std::vector<Colour>(6, 0x00123456u));
  EXPECT_EQ(fill(Rect{3, 4, 4, 5}, 0u), std::vector<Colour>(1, 0u));
  EXPECT_TRUE(fill(Rect{3, 4, 3, 9}, 0x00FFFFFFu).empty());
}

// ---------------------------------------- footprints, put_block, the frame

TEST(Footprints, GrowToWholeCellsTilesAndOneMoreColumnAndRow) {
  const Rect sel{3, 4, 28, 9};  // 25 x 5
  EXPECT_EQ(mosaic_footprint(sel, 10, 3), (Rect{3, 4, 33, 10}));
  EXPECT_EQ(mosaic_footprint(sel, 1, 1), sel);
  EXPECT_EQ(blur_footprint(sel), (Rect{3, 4, 29, 10}));
  EXPECT_EQ(diffusion_footprint(sel), (Rect{3, 4, 35, 20}));
  EXPECT_EQ(scramble_footprint(sel), sel);
  EXPECT_EQ(mosaic_footprint(Rect{0, 0, 10, 10}, 2147483647, 2147483647), (Rect{0, 0, 2147483647, 2147483647}));
}

TEST(PutBlock, WritesOnlyTheSelectionAndClipsToThePicture) {
  Image image = gradient_image(6, 5);
  const Image before = image;
  put_block(image, Rect{4, 3, 8, 7}, std::vector<Colour>(16, 0x00ABCDEFu));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(image.pixels[y * 6 + x], x >= 4 && y >= 3 ? 0x00ABCDEFu : before.pixels[y * 6 + x]) << x << "," << y;
  put_block(image, Rect{-2, -2, 1, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(image.pixels[0], 9u);
  EXPECT_EQ(image.pixels[1], before.pixels[1]);
}

TEST(Effects, IntoVariantsWriteTheSameBlockWithAnyStride) {
  std::mt19937 rng(11);
  const Image image = random_image(37, 29, rng);
  const Rect sel{3, 2, 30, 27};  // 27 x 25
  const std::int64_t w = sel.width(), h = sel.height();
  // Rows bottom-up with 5 spare colours each, as in a padded bottom-up bitmap.
  auto bottom_up = [&](auto&& run) {
    std::vector<Colour> storage(static_cast<std::size_t>((w + 5) * h), 0xABABABABu);
    run(BlockRef{storage.data() + (h - 1) * (w + 5), -(w + 5)});
    std::vector<Colour> block;
    for (std::int64_t y = 0; y < h; ++y) {
      const Colour* row = storage.data() + (h - 1 - y) * (w + 5);
      block.insert(block.end(), row, row + w);
      EXPECT_EQ(row[w], 0xABABABABu);
    }
    return block;
  };
  EXPECT_EQ(bottom_up([&](BlockRef out) { mosaic_into(image.view(), sel, 4, 3, out); }),
            mosaic(image.view(), sel, 4, 3));
  EXPECT_EQ(bottom_up([&](BlockRef out) { blur_into(image.view(), sel, 2, out); }), blur(image.view(), sel, 2));
  EXPECT_EQ(bottom_up([&](BlockRef out) { diffusion_into(image.view(), sel, out); }), diffusion(image.view(), sel));
  RandomSource a, b;
  seed_random_source(a, 3);
  seed_random_source(b, 3);
  EXPECT_EQ(bottom_up([&](BlockRef out) { scramble_into(image.view(), sel, 32, a, out); }),
            scramble(image.view(), sel, 32, b));
}

TEST(Effects, SelectionOutsideAnEmptyPictureDoesNotCrash) {
  Image empty;
  const Rect sel{-1, -1, 0, 0};
  RandomSource random;
  EXPECT_EQ(mosaic(empty.view(), sel, 10, 10), std::vector<Colour>{0x00FFFFFFu});
  EXPECT_EQ(blur(empty.view(), sel, 2), std::vector<Colour>{0x00FFFFFFu});
  EXPECT_EQ(diffusion(empty.view(), sel), std::vector<Colour>{0x00FFFFFFu});
  EXPECT_EQ(scramble(empty.view(), sel, 32, random), std::vector<Colour>{0xFFFFFFFFu});
  put_block(empty, sel, fill(sel, 0));
  EXPECT_TRUE(empty.pixels.empty());
}

TEST(Effects, NothingOutsideTheSelectionChanges) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; ++trial) {
    const Image image = random_image(1 + rng() % 30, 1 + rng() % 30, rng);
    const Rect sel = random_selection(image, rng, 0);
    RandomSource random;
    seed_random_source(random, trial);
    const std::vector<Colour> blocks[] = {mosaic(image.view(), sel, 4, 3), blur(image.view(), sel, 2),
                                          diffusion(image.view(), sel), scramble(image.view(), sel, 32, random),
                                          fill(sel, 0x00010203u)};
    for (const auto& block : blocks) {
      Image after = image;
      put_block(after, sel, block);
      for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
          const bool inside = x >= sel.left && x < sel.right && y >= sel.top && y < sel.bottom;
          const Colour expected =
              inside ? block_at(block, sel, x - sel.left, y - sel.top) : image.pixels[y * image.width + x];
          ASSERT_EQ(after.pixels[y * image.width + x], expected) << trial;
        }
    }
  }
}

}  // namespace
}  // namespace murkel
