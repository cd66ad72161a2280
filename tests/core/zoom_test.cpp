// The zoom: levels, fit, the picture <-> canvas transform, scrolling, the
// selection on the canvas, and the zoomed pixels against a plain area average.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "core/canvas/zoom.h"
#include "core/canvas/zoom_pixels.h"
#include "bmp_test_files.h"

namespace murkel {
namespace {

constexpr Zoom kFit4000{307, 1024};  // 4000 x 3000 in a 1210 x 1010 client

TEST(Zoom, LevelsFitAndText) {
  const struct { Zoom zoom, in, out; const char* text; } levels[] = {
      {{1, 1}, {2, 1}, {2, 3}, "100%"},     {{16, 1}, {16, 1}, {12, 1}, "1600%"}, {{1, 16}, {1, 12}, {1, 16}, "6.25%"},
      {{1, 3}, {1, 2}, {1, 4}, "33.33%"},   {{2, 3}, {1, 1}, {1, 2}, "66.67%"},   {{1, 8}, {1, 6}, {1, 12}, "12.5%"},
      {kFit4000, {1, 3}, {1, 4}, "29.98%"}, {{5, 1}, {6, 1}, {4, 1}, "500%"},
  };
  for (const auto& c : levels) {
    EXPECT_EQ(zoom_in(c.zoom), c.in) << c.text;
    EXPECT_EQ(zoom_out(c.zoom), c.out) << c.text;
    EXPECT_EQ(zoom_text(c.zoom), c.text);
  }
  // Ctrl+wheel: deltas add up to a level per 120 either way; a turn back starts anew.
  const struct { std::vector<std::int32_t> deltas; std::vector<std::int32_t> levels; } wheels[] = {
      {{120, -120, 240}, {1, -1, 2}},  {{40, 40, 40, 40}, {0, 0, 1, 0}},  {{-60, -60, -30}, {0, -1, 0}},
      {{100, -30, -100}, {0, 0, -1}},  {{-250, 10}, {-2, 0}},
  };
  for (const auto& c : wheels) {
    std::int32_t turned = 0;
    std::vector<std::int32_t> levels;
    for (const std::int32_t delta : c.deltas) levels.push_back(wheel_zoom_levels(turned, delta));
    EXPECT_EQ(levels, c.levels) << c.deltas.size() << " deltas from " << c.deltas[0];
  }
  const struct { Point picture, client; Zoom fit; } fits[] = {
      {{4000, 3000}, {1210, 1010}, kFit4000}, {{2000, 1000}, {1010, 510}, {1, 2}},
      {{100, 50}, {300, 200}, {2, 1}},        {{100, 100}, {110, 110}, {1, 1}},
      {{10, 10}, {1000, 1000}, {16, 1}},      {{100000, 10}, {1010, 1010}, {1, 16}},  // never below 1/16
      {{100, 100}, {5, 5}, {1, 16}},          {{0, 0}, {300, 200}, {1, 1}},
  };
  for (const auto& c : fits) {
    EXPECT_EQ(fit_zoom(c.picture, c.client), c.fit) << c.picture.x << " x " << c.picture.y;
    if (c.picture.x > 0 && !(c.fit == Zoom{1, 16})) {  // the picture and its margins fit
      EXPECT_LE(zoomed_size(c.picture.x, c.fit) + 10, c.client.x);
      EXPECT_LE(zoomed_size(c.picture.y, c.fit) + 10, c.client.y);
    }
  }
}

TEST(Zoom, ClientAndPictureAlongOneAxis) {
  const struct {
    Zoom zoom;
    std::int32_t size, client, scroll, zoomed, first, last, back, line, page;
  } cases[] = {
      {{1, 1}, 1000, 5, 0, 1000, 0, 0, 5, 10, 1},           {{1, 1}, 1000, 0, 0, 1000, -5, -5, 0, 10, 1},
      {{2, 1}, 1000, 55, 151, 2000, 100, 100, 54, 20, 2},   {{2, 1}, 1000, 0, 0, 2000, -3, -3, -1, 20, 2},
      {{16, 1}, 1000, 22, 0, 16000, 1, 1, 21, 160, 16},     {{1, 4}, 1001, 5, 0, 251, 0, 3, 5, 10, 1},
      {{1, 4}, 1001, 255, 0, 251, 1000, 1003, 255, 10, 1},  {{2, 3}, 100, 8, 0, 67, 4, 5, 7, 10, 1},
      {{1, 16}, 4000, 0, 0, 250, -80, -65, 0, 10, 1},       {kFit4000, 4000, 1000, 0, 1200, 3318, 3322, 999, 10, 1},
  };
  for (const auto& c : cases) {
    const std::string at = std::to_string(c.zoom.num) + "/" + std::to_string(c.zoom.den) + " client " +
                           std::to_string(c.client);
    EXPECT_EQ(zoomed_size(c.size, c.zoom), c.zoomed) << at;
    EXPECT_EQ(client_to_picture(c.client, c.scroll, c.zoom), c.first) << at;
    EXPECT_EQ(client_to_picture_last(c.client, c.scroll, c.zoom), c.last) << at;
    EXPECT_EQ(picture_to_client(c.first, c.scroll, c.zoom), c.back) << at;
    EXPECT_EQ(line_step(c.zoom), c.line) << at;
    EXPECT_EQ(page_step(c.zoom), c.page) << at;
  }
  // Scroll requests take the zoomed size and the zoom's steps.
  EXPECT_EQ(scroll_request_offset(30, kScrollLineDown, 0, zoomed_size(1000, {2, 1}), 300, 20, 2), 50);
  EXPECT_EQ(scroll_request_offset(1700, kScrollLineDown, 0, zoomed_size(1000, {2, 1}), 300, 20, 2), 1710);
  EXPECT_EQ(scroll_request_offset(0, kScrollThumbTrack, 70000, 70000, 300, 20, 2), 70000);
  // At 100 % the transform is today's, margin and scrolling included.
  for (std::int32_t scroll : {0, 7, 710})
    for (std::int32_t client = -20; client < 320; ++client) {
      ASSERT_EQ(client_to_picture(client, scroll, kActualSize), client_to_image(client, scroll));
      ASSERT_EQ(client_to_picture_last(client, scroll, kActualSize), client_to_image(client, scroll));
      ASSERT_EQ(picture_to_client(client, scroll, kActualSize), image_to_client(client, scroll));
    }
}

TEST(Zoom, AroundTheCursorAndTheVisibleBlock) {
  const struct { std::int32_t client, scroll; Zoom from, to; std::int32_t size, client_size, expected; } around[] = {
      {55, 50, {1, 1}, {2, 1}, 1000, 300, 150},  {55, 150, {2, 1}, {1, 1}, 1000, 300, 50},
      {5, 0, {2, 1}, {4, 1}, 1000, 300, 0},      {295, 710, {1, 1}, {2, 1}, 1000, 300, 1710},  // kept at max
      {155, 0, {1, 1}, {1, 4}, 1000, 300, 0},    {105, 0, {1, 4}, {1, 1}, 1000, 300, 300},
      {150, 400, {1, 1}, {1, 16}, 1000, 300, 0},  // fits: offset 0
  };
  for (const auto& c : around) {
    const std::int32_t s = scroll_after_zoom(c.client, c.scroll, c.from, c.to, c.size, c.client_size);
    EXPECT_EQ(s, c.expected) << c.client << " " << c.scroll;
    if (s > 0 && s < scroll_maximum(zoomed_size(c.size, c.to), c.client_size)) {  // the same pixel stays under it
      EXPECT_EQ(client_to_picture(c.client, s, c.to), client_to_picture(c.client, c.scroll, c.from));
    }
  }
  const struct { Point picture; Zoom zoom; Point scroll, client; ViewBlock block; } blocks[] = {
      {{4000, 3000}, kFit4000, {0, 0}, {1210, 1010}, {{5, 5, 1205, 905}, {0, 0, 1200, 900}}},
      {{1000, 800}, {2, 1}, {100, 50}, {300, 200}, {{0, 0, 300, 200}, {95, 45, 395, 245}}},
      {{1000, 800}, {1, 1}, {710, 0}, {300, 200}, {{0, 5, 295, 200}, {705, 0, 1000, 195}}},
      {{0, 0}, {1, 1}, {0, 0}, {300, 200}, {}},
  };
  for (const auto& c : blocks) EXPECT_EQ(visible_picture(c.picture, c.zoom, c.scroll, c.client), c.block);
}

TEST(Zoom, SelectionDrawnAndShown) {
  const struct {
    Zoom zoom;
    Point picture, anchor, point, scroll;
    Rect rect;
    const char* text;
    Outline outline;
  } cases[] = {
      {{2, 1}, {1000, 1000}, {15, 25}, {54, 74}, {0, 0}, {5, 10, 25, 35}, "(5,10)-(24,34)", {{15, 25}, {54, 74}}},
      {{1, 2}, {1000, 1000}, {15, 25}, {54, 74}, {0, 0}, {20, 40, 100, 140}, "(20,40)-(99,139)", {{15, 25}, {54, 74}}},
      {{1, 2}, {1000, 1000}, {54, 74}, {15, 25}, {0, 0}, {20, 40, 100, 140}, "(99,139)-(20,40)", {{15, 25}, {54, 74}}},
      // a zoomed-out canvas pixel at the picture's edge shows less than a whole block
      {{1, 2}, {99, 99}, {15, 25}, {54, 54}, {0, 0}, {20, 40, 99, 99}, "(20,40)-(98,98)", {{15, 25}, {54, 54}}},
      {{1, 4}, {1000, 1000}, {15, 25}, {15, 25}, {0, 0}, {40, 80, 44, 84}, "(40,80)-(43,83)", {{15, 25}, {15, 25}}},
      // scrolled before the press: the text is less the press offset in picture pixels
      {{2, 1}, {1000, 1000}, {5, 5}, {14, 14}, {30, 20}, {15, 10, 20, 15}, "(0,0)-(4,4)", {{5, 5}, {14, 14}}},
      // 100 %, as today, the empty picture's (-1, -1, 0, 0) included
      {{1, 1}, {1000, 1000}, {5, 5}, {14, 14}, {30, 20}, {30, 20, 40, 30}, "(0,0)-(9,9)", {{5, 5}, {14, 14}}},
      {{1, 1}, {0, 0}, {4, 4}, {4, 4}, {0, 0}, {-1, -1, 0, 0}, "(-1,-1)-(-1,-1)", {{4, 4}, {4, 4}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(selection_from_drag(c.anchor, c.point, c.scroll, c.zoom, c.picture), c.rect) << c.text;
    EXPECT_EQ(selection_text(c.anchor, c.point, c.scroll, c.scroll, c.zoom, c.picture), c.text);
    EXPECT_EQ(selection_outline(c.rect, c.scroll, c.zoom), c.outline) << c.text;
  }
}

// ---- pixels

// The picture's area under canvas pixel (x, y), averaged exactly: channel c.
double area_average(const std::vector<std::uint8_t>& bytes, int bpp, Point size, Zoom z, int x, int y, int c) {
  const double d = double(z.den) / z.num;
  const double x0 = x * d, x1 = std::min((x + 1) * d, double(size.x));
  const double y0 = y * d, y1 = std::min((y + 1) * d, double(size.y));
  double sum = 0;
  for (int j = int(y0); j < y1; ++j)
    for (int i = int(x0); i < x1; ++i) {
      const double w = (std::min(i + 1.0, x1) - std::max(double(i), x0)) * (std::min(j + 1.0, y1) - std::max(double(j), y0));
      sum += w * bytes[(std::size_t(j) * size.x + i) * bpp + c];
    }
  return sum / ((x1 - x0) * (y1 - y0));
}

TEST(ZoomPixels, AverageTheAreaEachCanvasPixelShows) {
  const Point size{37, 23};
  std::mt19937 rng(5);
  std::vector<std::uint8_t> bytes(std::size_t(size.x) * size.y * 4);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  // the 4 bytes a pixel picture is the 3 bytes one with a byte more; blocks at the
  // right and bottom edges cover part of a canvas pixel, whose weights are then rounded
  std::vector<std::uint8_t> bytes3;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (i % 4 != 3) bytes3.push_back(bytes[i]);
  const struct { Zoom zoom; Rect block; int tolerance; } cases[] = {
      {{1, 1}, {3, 2, 30, 20}, 0},  {{3, 1}, {4, 7, 100, 69}, 0}, {{16, 1}, {0, 0, 592, 368}, 0},
      {{1, 2}, {0, 0, 19, 12}, 0},  {{1, 4}, {1, 1, 9, 5}, 1},   {{1, 16}, {0, 0, 3, 2}, 1},
      {{1, 3}, {0, 0, 13, 8}, 2},   {{2, 3}, {5, 3, 25, 16}, 2},  {kFit4000, {0, 0, 11, 7}, 2},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(zoomed_size(size.x, c.zoom) >= c.block.right && zoomed_size(size.y, c.zoom) >= c.block.bottom);
    for (int bpp : {3, 4}) {
      std::vector<std::uint8_t>& from = bpp == 3 ? bytes3 : bytes;
      const auto w = static_cast<std::int32_t>(c.block.width()), h = static_cast<std::int32_t>(c.block.height());
      std::vector<std::uint8_t> out(std::size_t(w) * h * 4, 0xAB);
      ZoomScratch scratch;
      draw_zoomed(DibRows{from.data(), std::ptrdiff_t{size.x} * bpp, bpp, size.x, size.y}, c.zoom, c.block,
                  DibRows{out.data(), std::ptrdiff_t{w} * 4, 4, w, h}, scratch);
      int worst = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int ch = 0; ch < 3; ++ch) {
            const int got = out[(std::size_t(y) * w + x) * 4 + ch];
            const double want = area_average(from, bpp, size, c.zoom, c.block.left + x, c.block.top + y, ch);
            worst = std::max(worst, static_cast<int>(std::ceil(std::abs(got - want) - 0.5)));
          }
      EXPECT_LE(worst, c.tolerance) << c.zoom.num << "/" << c.zoom.den << " at " << bpp << " bytes a pixel";
      // A copy of only the area the block shows draws the same pixels.
      const Rect area = picture_area_shown(c.block, c.zoom, size);
      std::vector<std::uint8_t> part, again(out.size());
      for (std::int32_t y = area.top; y < area.bottom; ++y)
        part.insert(part.end(), from.begin() + (std::ptrdiff_t{y} * size.x + area.left) * bpp,
                    from.begin() + (std::ptrdiff_t{y} * size.x + area.right) * bpp);
      const auto aw = static_cast<std::int32_t>(area.width()), ah = static_cast<std::int32_t>(area.height());
      const std::int32_t dx = zoomed_size(area.left, c.zoom), dy = zoomed_size(area.top, c.zoom);
      draw_zoomed(DibRows{part.data(), std::ptrdiff_t{aw} * bpp, bpp, aw, ah}, c.zoom,
                  Rect{c.block.left - dx, c.block.top - dy, c.block.right - dx, c.block.bottom - dy},
                  DibRows{again.data(), std::ptrdiff_t{w} * 4, 4, w, h}, scratch);
      EXPECT_TRUE(again == out) << "from the area shown, " << c.zoom.num << "/" << c.zoom.den;
    }
  }
}

// A picture with a colour table goes to the canvas through its colours: rows of 1, 4 and 8 bits a
// pixel give each index's entry (its fourth byte 0), an index past the table black.
TEST(ZoomPixels, IndexedRowsGiveTheirTableColours) {
  for (const int bits : {1, 4, 8}) {
    const int width = 13, height = 3, entries = bits == 8 ? 200 : 1 << bits;
    std::vector<std::vector<std::uint32_t>> rows(height);
    for (int i = 0; i < width * height; ++i) rows[i / width].push_back((i * 37 + 5) % (1 << bits));
    const bmp_test::Bytes packed = bmp_test::pack_rows(rows, bits, true);
    std::vector<std::uint32_t> table;
    for (int i = 0; i < entries; ++i) table.push_back(0xAB000000u | (i * 0x010203u));
    const Rect region{3, 1, 12, 3};
    std::vector<std::uint8_t> out(9 * 2 * 4, 0xEE);
    expand_indexed_rows(IndexedRows{packed.data(), std::ptrdiff_t(packed.size() / height), bits, width, height},
                        table.data(), table.size(), region, DibRows{out.data(), 9 * 4, 4, 9, 2});
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 9; ++x) {
        const std::uint32_t index = rows[y + 1][x + 3], want = index < table.size() ? table[index] & 0xFFFFFF : 0;
        std::uint32_t got = 0;
        for (int k = 0; k < 4; ++k) got |= std::uint32_t{out[(y * 9 + x) * 4 + k]} << 8 * k;
        ASSERT_EQ(got, want) << bits << " bits, (" << x << "," << y << ")";
      }
  }
}

}  // namespace
}  // namespace murkel
