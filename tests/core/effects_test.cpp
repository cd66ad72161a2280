// The five effects: worked examples that pin the rounding and the edges, and
// the fast code against slow references written from the per-pixel rules;
// the random source of the scramble; the modification counter through effects and Undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "core/document/transparency.h"
#include "core/effects/effect_bands.h"
#include "core/effects/effects.h"
#include "core/effects/random_source.h"

namespace murkel {
namespace {

using Block = std::vector<Colour>;

// ------------------------------------------------- slow per-pixel references

// A read as the effects see it: outside the picture 0xFFFFFFFF, 255 per component.
Colour at(const Image& image, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return kOutsideColour;
  return image.pixels[y * image.width + x];
}

// Component-wise mean, rounded with nearbyint (ties to even).
Colour average(const Block& samples) {
  std::int64_t r = 0, g = 0, b = 0;
  for (Colour v : samples) r += red_of(v), g += green_of(v), b += blue_of(v);
  const double n = static_cast<double>(samples.size());
  return make_colour(static_cast<int>(std::nearbyint(r / n)), static_cast<int>(std::nearbyint(g / n)),
                     static_cast<int>(std::nearbyint(b / n)));
}

// Each pixel takes the average of its whole cw x ch cell, cells anchored at the selection's corner.
Block reference_mosaic(const Image& image, const Rect& s, int cw, int ch) {
  Block out;
  const std::int64_t w = s.width();
  for (std::int64_t y = 0; y < s.height(); ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      if (cw < 1 || ch < 1) {
        out.push_back(at(image, s.left + x, s.top + y));
      } else if (x % cw || y % ch) {
        out.push_back(out[(y - y % ch) * w + x - x % cw]);  // the cell's first pixel, done already
      } else {
        Block cell;
        for (std::int64_t j = 0; j < ch; ++j)
          for (std::int64_t i = 0; i < cw; ++i) cell.push_back(at(image, s.left + x + i, s.top + y + j));
        out.push_back(average(cell));
      }
    }
  return out;
}

// Self, left, upper-right and lower-right at distance `level`, those inside the (W+1) x (H+1) sample area.
Block reference_blur(const Image& image, const Rect& s, int level) {
  Block out;
  for (std::int64_t y = 0; y < s.height(); ++y)
    for (std::int64_t x = 0; x < s.width(); ++x) {
      Block samples;
      for (const auto [dx, dy] : {std::pair{0, 0}, {-level, 0}, {level, -level}, {level, level}}) {
        if (x + dx >= 0 && x + dx <= s.width() && y + dy >= 0 && y + dy <= s.height())
          samples.push_back(at(image, s.left + x + dx, s.top + y + dy));
      }
      out.push_back(average(samples));
    }
  return out;
}

// The tile permutation from an 8-bit shift register with feedback taps 0, 2, 3, 4, built bit by bit.
std::vector<int> reference_table() {
  std::vector<int> table(256, 0);
  int b[9] = {1};
  for (int n = 1; n < 256; ++n) {
    for (int i = 8; i >= 1; --i) b[i] = b[i - 1];
    b[0] = 0;
    if (b[8]) b[0] ^= 1, b[2] ^= 1, b[3] ^= 1, b[4] ^= 1;
    for (int i = 0; i < 8; ++i) table[n] += b[i] << i;
  }
  return table;
}

// Place p of each 16 x 16 tile takes place table[p] of the same tile; outside the picture is white.
Block reference_diffusion(const Image& image, const Rect& s) {
  static const std::vector<int> table = reference_table();
  Block out;
  for (std::int64_t y = 0; y < s.height(); ++y)
    for (std::int64_t x = 0; x < s.width(); ++x) {
      const int q = table[(y % 16) * 16 + x % 16];
      const Colour v = at(image, s.left + x - x % 16 + q % 16, s.top + y - y % 16 + q / 16);
      out.push_back(v == kOutsideColour ? 0x00FFFFFFu : v);
    }
  return out;
}

// Row y shows its source rotated by trunc(r * level - level / 2), one fraction r per row.
Block reference_scramble(const Image& image, const Rect& s, int level, std::uint32_t seed) {
  RandomSource random;
  seed_random_source(random, seed);
  Block out;
  const std::int64_t w = s.width();
  for (std::int64_t y = 0; w > 0 && y < s.height(); ++y) {
    const auto shift = static_cast<std::int64_t>(std::trunc(random_fraction(random) * level - level / 2.0));
    for (std::int64_t x = 0; x < w; ++x) out.push_back(at(image, s.left + ((x + shift) % w + w) % w, s.top + y));
  }
  return out;
}

// Only the picture pixels of `footprint`, so that an effect reading past it reads garbage or trips ASan.
PixelView footprint_view(const Image& image, const Rect& footprint, Block& storage) {
  const Rect clip{std::clamp(footprint.left, 0, image.width), std::clamp(footprint.top, 0, image.height),
                  std::clamp(footprint.right, 0, image.width), std::clamp(footprint.bottom, 0, image.height)};
  const std::int64_t w = std::max<std::int64_t>(clip.width(), 0), h = std::max<std::int64_t>(clip.height(), 0);
  storage.assign(static_cast<std::size_t>(std::max<std::int64_t>(w * h, 1)), 0xDEADBEEFu);
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) storage[y * w + x] = image.pixels[(clip.top + y) * image.width + clip.left + x];
  return PixelView{storage.data(), static_cast<std::ptrdiff_t>(w), clip, image.width, image.height};
}

// Runs an *_into effect on bottom-up rows with spare colours after each, as
// in a padded bitmap; returns the rows top first. The spares must stay.
template <class Run>
Block bottom_up(const Rect& s, Run run) {
  const std::int64_t w = s.width(), h = s.height();
  const auto stride = static_cast<std::ptrdiff_t>(w + 3);
  Block storage(static_cast<std::size_t>(std::max<std::int64_t>(stride * h, 1)), 0xABABABABu);
  run(BlockRef{storage.data() + std::max<std::int64_t>(h - 1, 0) * stride, -stride});
  Block block;
  for (std::int64_t y = h - 1; y >= 0; --y) {
    block.insert(block.end(), storage.begin() + y * stride, storage.begin() + y * stride + w);
    EXPECT_EQ(storage[y * stride + w], 0xABABABABu) << "a row ran over";
  }
  return block;
}

TEST(Effects, MatchTheReferencesOnRandomPicturesSelectionsAndSettings) {
  std::mt19937 rng(1234);
  Block storage;
  for (int trial = 0; trial < 500; ++trial) {
    Image image{static_cast<int>(rng() % 41), static_cast<int>(rng() % 41), {}};  // empty pictures too
    for (int i = 0; i < image.width * image.height; ++i) image.pixels.push_back(rng() & 0x00FFFFFFu);
    const int reach = trial % 3 * 8;  // how far a selection may reach past the picture
    std::uniform_int_distribution<int> x(-reach, image.width + reach), y(-reach, image.height + reach);
    int l = x(rng), r = x(rng), t = y(rng), b = y(rng);
    const Rect s{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
    const int cw = static_cast<int>(rng() % (trial % 5 ? 12 : 60)) - 1, ch = static_cast<int>(rng() % 12) - 1;
    const int level = static_cast<int>(trial % 11 ? rng() % 6 : rng() % 300);
    const int shuffle = static_cast<int>(rng() % 80) - 40;
    const std::uint32_t seed = rng();
    RandomSource random;
    seed_random_source(random, seed);
    SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << image.width << "x" << image.height << " sel "
                                    << s.left << "," << s.top << "," << s.right << "," << s.bottom << " cell " << cw
                                    << "x" << ch << " level " << level << " scramble " << shuffle);
    const auto view = [&](const Rect& footprint) { return footprint_view(image, footprint, storage); };
    ASSERT_EQ(bottom_up(s, [&](BlockRef out) { mosaic_into(view(mosaic_footprint(s, cw, ch)), s, cw, ch, out); }),
              reference_mosaic(image, s, cw, ch));
    ASSERT_EQ(bottom_up(s, [&](BlockRef out) { blur_into(view(blur_footprint(s)), s, level, out); }),
              reference_blur(image, s, level));
    ASSERT_EQ(bottom_up(s, [&](BlockRef out) { diffusion_into(view(diffusion_footprint(s)), s, out); }),
              reference_diffusion(image, s));
    ASSERT_EQ(bottom_up(s, [&](BlockRef out) { scramble_into(view(s), s, shuffle, random, out); }),
              reference_scramble(image, s, shuffle, seed));

    // Band after band of a few rows, each read from its own footprint only: the same colours.
    const EffectParameters parameters{cw, ch, static_cast<std::uint16_t>(level), shuffle};
    const auto in_bands = [&](EffectCode code) {
      RandomSource band_random;
      seed_random_source(band_random, seed);
      const std::int64_t w = s.width(), h = s.height();
      Block block(static_cast<std::size_t>(s.empty() ? 0 : w * h));
      const BandPlan plan = plan_bands(code, parameters, s, w * (1 + trial % 4));
      for (std::int64_t first = 0; plan.height > 0 && first < h; first += plan.height) {
        const RowSpan rows{first, first + plan.height};
        const Rect footprint = band_footprint(code, parameters, s, rows, image.width, image.height);
        band_into(code, parameters, view(footprint), s, rows, band_random,
                  BlockRef{block.data() + first * w, static_cast<std::ptrdiff_t>(w)});
      }
      return block;
    };
    ASSERT_EQ(in_bands(EffectCode::mosaic), reference_mosaic(image, s, cw, ch));
    ASSERT_EQ(in_bands(EffectCode::blur), reference_blur(image, s, level));
    ASSERT_EQ(in_bands(EffectCode::diffusion), reference_diffusion(image, s));
    ASSERT_EQ(in_bands(EffectCode::scramble), reference_scramble(image, s, shuffle, seed));
  }
}

TEST(Effects, WorkedExamples) {
  const Colour k = 0;
  const Image row{4, 1, {make_colour(2, 2, 100), make_colour(3, 1, 101), make_colour(3, 0, 9), make_colour(4, 0, 9)}};
  const Image edge{3, 1, {k, make_colour(10, 20, 30), make_colour(40, 50, 61)}};
  Image corner{3, 3, Block(9, make_colour(99, 99, 99))};
  corner.pixels[0] = make_colour(3, 0, 2);
  corner.pixels[4] = make_colour(2, 7, 1);
  const Image black{4, 3, Block(12, k)};
  const struct {
    const char* what;
    Block got, expected;
  } cases[] = {
      // Red 5 / 2 and 7 / 2, green 3 / 2, blue 201 / 2: ties go to the even neighbour.
      {"mosaic rounds ties to even", mosaic(row.view(), {0, 0, 4, 1}, 2, 1),
       {make_colour(2, 2, 100), make_colour(2, 2, 100), make_colour(4, 0, 9), make_colour(4, 0, 9)}},
      // Two picture pixels and two white ones: blue (30 + 61 + 510) / 4 = 150.25.
      {"mosaic counts white past the picture", mosaic(edge.view(), {1, 0, 3, 1}, 2, 2),
       Block(2, make_colour(140, 145, 150))},
      {"mosaic, a cell below one changes nothing", mosaic(row.view(), {1, 0, 3, 1}, 0, 5), {row.pixels[1], row.pixels[2]}},
      {"mosaic, a cell below one changes nothing", mosaic(row.view(), {1, 0, 3, 1}, -3, -3), {row.pixels[1], row.pixels[2]}},
      // 255 * (n - 1) / n for a cell of 2^31 - 1 pixels, and of 2^62: both round to white.
      {"mosaic, widest cell", mosaic(black.view(), {0, 0, 3, 1}, 2147483647, 1), Block(3, 0x00FFFFFFu)},
      {"mosaic, largest cell", mosaic(black.view(), {3, 2, 4, 3}, 2147483647, 2147483647), {0x00FFFFFFu}},
      // Self and lower right: red 2.5 -> 2, green 3.5 -> 4, blue 1.5 -> 2.
      {"blur rounds ties to even", blur(corner.view(), {0, 0, 1, 1}, 1), {make_colour(2, 4, 2)}},
      // The column and row past the picture are white: 255 / 3 -> 85, 510 / 4 -> 128, 255 / 4 -> 64.
      {"blur counts white past the picture", blur(black.view(), {0, 0, 4, 3}, 1),
       {k, k, k, 0x555555, k, k, k, 0x808080, 0x555555, 0x404040, 0x404040, 0x808080}},
      // Place 3 of a tile at the picture's right edge takes its column 8, past the picture.
      {"diffusion takes white past the picture", diffusion(row.view(), {0, 0, 4, 1}),
       {row.pixels[0], row.pixels[2], 0x00FFFFFFu, 0x00FFFFFFu}},
      {"fill", fill({3, 4, 6, 6}, 0x00123456u), Block(6, 0x00123456u)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(Diffusion, TableIsTheKnownPermutation) {
  const std::uint8_t* table = diffusion_table();
  const int head[] = {0, 2, 4, 8, 16, 32, 64, 128, 29, 58, 116, 232, 205, 135, 19, 38};
  const int tail[] = {44, 88, 176, 125, 250, 233, 207, 131, 27, 54, 108, 216, 173, 71, 142, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(table[i], head[i]) << i;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(table[240 + i], tail[i]) << 240 + i;
  EXPECT_EQ(std::vector<int>(table, table + 256), reference_table());  // a permutation: 0, then every other byte once
}

TEST(Scramble, ShiftIsComputedInDoubleNotExtendedPrecision) {
  // Seed 34992 gives r = 0.00032 first: in double 0.00032 * 6250 is 2 and the
  // shift trunc(2 - 3125) = -3123; x87 extended precision (32-bit GCC's
  // default) keeps the product a hair above 2 and would give -3122.
  const Image columns{10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
  RandomSource random;
  seed_random_source(random, 34992);
  EXPECT_EQ(scramble(columns.view(), {0, 0, 10, 1}, 6250, random)[0], 7u);  // (0 - 3123) mod 10
  seed_random_source(random, 34992);
  EXPECT_EQ(scramble(columns.view(), {0, 0, 10, 1}, -6250, random)[0], 3u);
}

TEST(Scramble, DrawsOneFractionPerRowAndNoneForAnEmptySelection) {
  const Image image{8, 8, Block(64, 5)};
  RandomSource random;
  for (const Rect s : {Rect{2, 2, 2, 6}, Rect{2, 2, 6, 2}}) {
    seed_random_source(random, 9);
    EXPECT_TRUE(scramble(image.view(), s, 32, random).empty());
    EXPECT_EQ(random.state, 9u);
  }
  (void)scramble(image.view(), {1, 1, 4, 6}, 32, random);
  EXPECT_EQ(random.state, 2295974439u);  // seed 9 stepped ten times: five rows, two values each
}

TEST(Effects, FootprintsGrowToWholeCellsTilesAndOneMoreColumnAndRow) {
  const Rect s{3, 4, 28, 9};  // 25 x 5
  EXPECT_EQ(mosaic_footprint(s, 10, 3), (Rect{3, 4, 33, 10}));
  EXPECT_EQ(blur_footprint(s), (Rect{3, 4, 29, 10}));
  EXPECT_EQ(diffusion_footprint(s), (Rect{3, 4, 35, 20}));
  EXPECT_EQ(secure_footprint(s), (Rect{-1, 0, 32, 13}));
  EXPECT_EQ(mosaic_footprint({0, 0, 10, 10}, 2147483647, 2147483647), (Rect{0, 0, 2147483647, 2147483647}));
}

TEST(Effects, PutBlockWritesOnlyTheSelectionClippedToThePicture) {
  Image image{3, 2, {1, 2, 3, 4, 5, 6}};
  put_block(image, {-1, -1, 2, 1}, {7, 8, 9, 10, 11, 12});
  EXPECT_EQ(image.pixels, (Block{11, 12, 3, 4, 5, 6}));
  put_block(image, {2, 1, 4, 3}, {20, 21, 22, 23});
  EXPECT_EQ(image.pixels, (Block{11, 12, 3, 4, 5, 20}));
  put_block(image, {0, 0, 1, 1}, {1, 2});  // a block of another size writes nothing
  EXPECT_EQ(image.pixels[0], 11u);
}

// ---------------------------------------------------------------- secure effects
// The secure effects are made of the ring around the selection alone: two
// pictures that differ only under it give the same block, whatever the cell
// size and wherever the selection lies. On a smooth picture the blur is
// smooth and follows the ring; mosaic cells are flat; with no ring left the
// selection turns neutral gray.
TEST(SecureEffects, HideEverythingUnderTheSelection) {
  const int W = 40, H = 30;
  Image smooth{W, H, {}};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) smooth.pixels.push_back(make_colour(5 * x, 7 * y, 200 - 3 * x));
  std::mt19937 rng(5);
  const struct { const char* where; Rect s; } selections[] = {
      {"inside", {10, 8, 30, 22}}, {"at the left edge", {0, 8, 20, 22}}, {"at the top edge", {10, 0, 30, 15}},
      {"at the right edge", {20, 8, 40, 22}}, {"at the bottom edge", {10, 15, 30, 30}}, {"whole picture", {0, 0, W, H}},
  };
  Block storage;
  for (const auto& [where, s] : selections) {
    Image noisy = smooth;
    for (int y = s.top; y < s.bottom; ++y)
      for (int x = s.left; x < s.right; ++x) noisy.pixels[y * W + x] = rng() & 0x00FFFFFFu;
    const bool whole = s == Rect{0, 0, W, H};
    for (int cell : {1, 3, 10, 100}) {
      SCOPED_TRACE(testing::Message() << where << ", cell " << cell);
      const Block mosaic_block = secure_mosaic(smooth.view(), s, cell, cell);
      ASSERT_EQ(bottom_up(s, [&](BlockRef out) {
                  secure_mosaic_into(footprint_view(noisy, secure_footprint(s), storage), s, cell, cell, out);
                }),
                mosaic_block);
      std::set<Colour> colours(mosaic_block.begin(), mosaic_block.end());
      for (std::int64_t i = 0; i < s.width() * s.height(); ++i) {
        const std::int64_t x = i % s.width(), y = i / s.width();
        ASSERT_EQ(mosaic_block[i], mosaic_block[(y - y % cell) * s.width() + x - x % cell]) << "cell not flat at " << i;
      }
      if (whole) EXPECT_EQ(colours, std::set<Colour>{0x00808080u});
      else if (cell < 10) EXPECT_GT(colours.size(), 10u) << "reads as a mosaic, not one colour";
    }
    const Block blurred = secure_blur(smooth.view(), s);
    ASSERT_EQ(bottom_up(s, [&](BlockRef out) { secure_blur_into(footprint_view(noisy, secure_footprint(s), storage), s, out); }),
              blurred) << where;
    int largest_step = 0, lowest = 255, highest = 0;
    for (std::int64_t i = 0; i < s.width() * s.height(); ++i) {
      lowest = std::min(lowest, red_of(blurred[i])), highest = std::max(highest, red_of(blurred[i]));
      for (const std::int64_t next : {i + 1, i + s.width()}) {
        if (next >= s.width() * s.height() || (next == i + 1 && next % s.width() == 0)) continue;
        for (const int shift : {0, 8, 16})
          largest_step = std::max(largest_step, std::abs(int(blurred[i] >> shift & 0xFF) - int(blurred[next] >> shift & 0xFF)));
      }
    }
    if (whole) {
      EXPECT_EQ(blurred, Block(W * H, 0x00808080u));
    } else {
      EXPECT_LE(largest_step, 12) << where << ": steps between neighbours on a smooth picture";
      EXPECT_GE(highest - lowest, 50) << where << ": follows the ring, not one flat colour";
    }
  }
}

// ---------------------------------------------------------------- random source

TEST(RandomSource, RoundsTheQuotientToEvenAndWrapsAt32768) {
  // The first state after the seed, divided by 65536, rounded to even, taken
  // mod 32768. Each seed was worked out by hand to land on its state.
  const struct { std::uint32_t seed, state; int value; } cases[] = {
      {3717146243u, 0x00018000u, 2}, {3371443843u, 0x00028000u, 2},      // ties 1.5 and 2.5 both to 2
      {3661249310u, 0x00027FFFu, 2}, {3081638376u, 0x00028001u, 3},      // just below and above 2.5
      {1915364995u, 0x80008000u, 0}, {2261067395u, 0x7FFF8000u, 0},      // 32768.5 and 32767.5 wrap to 0
      {113583747u, 0xFFFF8000u, 0},  {230538014u, 0xFFFFFFFFu, 0},       // 65535.5 and 65536 (rounded up)
      {459286147u, 0xFFFE8000u, 32766},                                   // 65534.5
  };
  for (const auto& c : cases) {
    RandomSource random;
    seed_random_source(random, c.seed);
    EXPECT_EQ(next_random_value(random), c.value) << c.seed;
    EXPECT_EQ(random.state, c.state) << c.seed;
  }
}

// Start state 1; seed 0 gives 0 (state 12345) then 21468 (state 3554416254).
// A fraction is (a * b mod 100000) / 100000 of the next two values.
TEST(RandomSource, WorkedSeedsGiveTheirValuesAndFractions) {
  EXPECT_EQ(RandomSource{}.state, 1u);
  const struct { std::uint32_t seed; int a, b; std::uint32_t state; double fraction; } cases[] = {
      {0, 0, 21468, 3554416254u, 0.0},
      {1, 16838, 5759, 2524885223u, 0.70042},  // 16838 * 5759 = 96970042
      {9, 20473, 11156, 2878571567u, 0.96788},
      {34992, 4608, 1454, 95291054u, 0.00032},
  };
  for (const auto& c : cases) {
    RandomSource random;
    seed_random_source(random, c.seed);
    EXPECT_EQ(next_random_value(random), c.a) << c.seed;
    EXPECT_EQ(next_random_value(random), c.b) << c.seed;
    EXPECT_EQ(random.state, c.state) << c.seed;
    seed_random_source(random, c.seed);
    EXPECT_EQ(random_fraction(random), c.fraction) << c.seed;
    EXPECT_EQ(random.state, c.state) << c.seed;
  }
}

// An effect makes its selection opaque, cut to the picture even when it reaches past it; a crop
// keeps its part (none when opaque); a save takes the file's colour where a pixel is not opaque.
TEST(Transparency, EffectsMakeTheSelectionOpaqueCropsKeepTheirPartAndSavesRestore) {
  const Image straight{3, 2, {1, 2, 3, 4, 5, 6}};
  EXPECT_FALSE(transparency_of(straight, {255, 255, 255, 255, 255, 255}).any());
  Transparency t = transparency_of(straight, {0, 10, 255, 20, 30, 40});
  const Transparency part = crop_transparency(t, Rect{1, 0, 3, 2});
  EXPECT_EQ(part.width, 2);
  EXPECT_EQ(part.alpha, (std::vector<std::uint8_t>{10, 255, 30, 40}));
  EXPECT_EQ(part.colours, (std::vector<Colour>{2, 3, 5, 6}));
  EXPECT_FALSE(crop_transparency(t, Rect{2, 0, 3, 1}).any());
  const Rect effect{1, 1, 9, 9};
  cover_with_effect(t, {&effect, 1});
  EXPECT_EQ(t.alpha, (std::vector<std::uint8_t>{0, 10, 255, 20, 255, 255}));
  std::vector<Colour> shown = {11, 12, 13, 14, 15, 16};
  restore_hidden_colours(t, shown.data(), shown.size());
  EXPECT_EQ(shown, (std::vector<Colour>{1, 2, 13, 4, 15, 16}));
  Image over = Image{2, 1, {0x000000, 0x0000FF}};
  put_over_white(over, {0, 128});
  EXPECT_EQ(over.pixels, (std::vector<Colour>{0xFFFFFF, 0x7F7FFF}));
}

}  // namespace
}  // namespace murkel
