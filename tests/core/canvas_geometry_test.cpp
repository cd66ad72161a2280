// Canvas scrolling, resize rule, coordinates, drag clamp, selection state and rectangle.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "core/canvas/zoom.h"

namespace murkel {
namespace {

// ---- scrolling

TEST(Scroll, RequestsStepAndClampTheOffset) {
  const struct { std::int32_t offset; int code; std::uint16_t thumb; std::int32_t picture, client, expected; } cases[] = {
      // picture 100, client 50: max = 60
      {30, kScrollLineUp, 0, 100, 50, 20},   {5, kScrollLineUp, 0, 100, 50, 0},     {30, kScrollLineDown, 0, 100, 50, 40},
      {55, kScrollLineDown, 0, 100, 50, 60}, {30, kScrollPageUp, 0, 100, 50, 29},   {0, kScrollPageUp, 0, 100, 50, 0},
      {30, kScrollPageDown, 0, 100, 50, 31}, {60, kScrollPageDown, 0, 100, 50, 60}, {30, kScrollTop, 0, 100, 50, 0},
      {30, kScrollBottom, 0, 100, 50, 60},
      // the thumb is taken unsigned and as it is
      {30, kScrollThumbPosition, 45, 100, 50, 45}, {30, kScrollThumbTrack, 7, 100, 50, 7},
      {0, kScrollThumbTrack, 0xFFFF, 100, 50, 65535}, {0, kScrollThumbPosition, 0x8000, 100, 50, 32768},
      // other codes change nothing
      {30, 8, 99, 100, 50, 30}, {30, -1, 99, 100, 50, 30}, {30, 0x1234, 99, 100, 50, 30},
      // an offset left above max by a resize
      {90, kScrollLineDown, 0, 100, 50, 60}, {90, kScrollPageDown, 0, 100, 50, 60}, {90, kScrollLineUp, 0, 100, 50, 80},
      {90, kScrollPageUp, 0, 100, 50, 89},
      // nothing moves when the picture and its margins fit (client >= picture + 10)
      {0, kScrollLineDown, 0, 90, 100, 0}, {7, kScrollBottom, 0, 90, 120, 7}, {7, kScrollThumbTrack, 3, 90, 100, 7},
      {0, kScrollLineDown, 0, 91, 100, 1},
      {0, kScrollLineDown, 0, 1000, 300, 10}, {0, kScrollPageDown, 0, 1000, 300, 1}, {0, kScrollBottom, 0, 800, 200, 610},
      {2147483647, kScrollLineDown, 0, 2147483647, 0, 2147483647},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scroll_request_offset(c.offset, c.code, c.thumb, c.picture, c.client), c.expected)
        << "offset " << c.offset << " code " << c.code << " picture " << c.picture << " client " << c.client;
  }
  EXPECT_EQ(scroll_maximum(2147483647, 0), 2147483647);
}

// ---- coordinates

TEST(Coordinates, ClientImageMouseAndPositionText) {
  EXPECT_EQ(client_to_image(305, 710), 1010);
  EXPECT_EQ(image_to_client(1010, 710), 305);
  EXPECT_EQ(position_text(-5, 30), "x:-5,y:30");
  // the 16-bit halves of the mouse message are unsigned
  EXPECT_EQ(mouse_coordinate(0), -5);
  EXPECT_EQ(mouse_coordinate(0xFFFF), 65530);
  // anchor at screen 115 with offset 0 is image pixel 10 for a window at 100, whatever the scrolling
  std::int32_t anchor = 115, anchor_scroll = 0;
  for (std::int32_t offset : {10, 40, 0, 25}) {
    anchor = adjust_anchor(anchor, anchor_scroll, offset);
    anchor_scroll = offset;
    EXPECT_EQ(client_to_image(anchor - 100, offset), 10) << offset;
  }
}

// ---- clamp

TEST(ClampDrag, StopsOnThePicturesFirstAndLastPixel) {
  // window at screen 100, picture 50 wide: columns 0..49 at client 5..54 unscrolled
  const struct { std::int32_t p, size, scroll, expected; } cases[] = {
      {130, 50, 0, 130}, {154, 50, 0, 154}, {155, 50, 0, 154}, {900, 50, 0, 154},
      {105, 50, 0, 105}, {104, 50, 0, 105}, {-50, 50, 0, 105},
      // scrolled by 30: last column at client 24, left bound the client edge
      {125, 50, 30, 124}, {100, 50, 30, 100}, {99, 50, 30, 100},
      // scrolled by 3: the picture's first column at client 2
      {101, 50, 3, 102},
      // 0 x 0 picture: the upper bound (client 4) is tested first
      {110, 0, 0, 104}, {105, 0, 0, 104}, {104, 0, 0, 105}, {100, 0, 0, 105},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(clamp_drag_coordinate(c.p, 100, c.size, c.scroll), c.expected)
        << "p " << c.p << " size " << c.size << " scroll " << c.scroll;
  }
  // picture 40 x 30 at a window at (0, 0): a drag past every edge selects it whole
  const Point anchor = clamp_drag_point({-20, -20}, {0, 0}, {40, 30}, {0, 0});
  EXPECT_EQ(selection_from_drag(anchor, clamp_drag_point({500, 500}, {0, 0}, {40, 30}, {0, 0}), {0, 0}, kActualSize,
                                {40, 30}),
            (Rect{0, 0, 40, 30}));
  // an empty picture selects (-1, -1)-(0, 0)
  const Point p = clamp_drag_point({260, 170}, {200, 100}, {0, 0}, {0, 0});
  EXPECT_EQ(selection_from_drag({p.x - 200, p.y - 100}, {p.x - 200, p.y - 100}, {0, 0}, kActualSize, {0, 0}),
            (Rect{-1, -1, 0, 0}));
}

// ---- press / release

TEST(SelectionFlags, PressesAndReleases) {
  const struct {
    SelectionFlags start;
    const char* steps;    // P: press, R: release
    const char* results;  // per step: d start_drag, c clear_on_release; n nothing, x clear_selection, e end_drag
    SelectionFlags end;
  } cases[] = {
      // drag, then the second click clears, the third starts again
      {{}, "PRPRP", "decxd", {true, false, true}},
      // a release without a press (second click of a double click) only stops dragging
      {{}, "R", "n", {}}, {{false, true, false}, "R", "n", {false, true, false}}, {{false, false, true}, "R", "n", {}},
      {{false, true, false}, "PRR", "cxn", {}},
      // a press during a running drag (its release never arrived) starts anew
      {{true, false, true}, "PR", "de", {false, true, false}},
  };
  for (const auto& c : cases) {
    SelectionFlags f = c.start;
    std::string results;
    for (const char* step = c.steps; *step != '\0'; ++step) {
      if (*step == 'P') {
        results += selection_press(f) == PressResult::start_drag ? 'd' : 'c';
      } else {
        const ReleaseResult r = selection_release(f);
        results += r == ReleaseResult::nothing ? 'n' : r == ReleaseResult::clear_selection ? 'x' : 'e';
      }
    }
    EXPECT_EQ(results, c.results) << c.steps;
    EXPECT_EQ(f, c.end) << c.steps;
  }
}

// ---- stored rectangle, text and outline

TEST(Selection, RectangleTextAndOutlineFromEitherDirection) {
  constexpr Point kPicture{1000, 1000};
  const struct { Point anchor, point, scroll; Rect rect; const char* text; Outline outline; } cases[] = {
      {{15, 25}, {54, 74}, {0, 0}, {10, 20, 50, 70}, "(10,20)-(49,69)", {{15, 25}, {54, 74}}},
      {{54, 74}, {15, 25}, {0, 0}, {10, 20, 50, 70}, "(49,69)-(10,20)", {{15, 25}, {54, 74}}},
      {{54, 25}, {15, 74}, {0, 0}, {10, 20, 50, 70}, "(49,20)-(10,69)", {{15, 25}, {54, 74}}},
      {{15, 25}, {15, 25}, {0, 0}, {10, 20, 11, 21}, "(10,20)-(10,20)", {{15, 25}, {15, 25}}},
      // scrolled before the press: the text is less the press offset
      {{5, 5}, {14, 14}, {30, 20}, {30, 20, 40, 30}, "(0,0)-(9,9)", {{5, 5}, {14, 14}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(selection_from_drag(c.anchor, c.point, c.scroll, kActualSize, kPicture), c.rect) << c.text;
    EXPECT_EQ(selection_text(c.anchor, c.point, c.scroll, c.scroll, kActualSize, kPicture), c.text);
    EXPECT_EQ(selection_outline(c.rect, c.scroll, kActualSize), c.outline) << c.text;
  }
  // pressed at image (10, 20) unscrolled, then scrolled by (30, 0): the anchor moves to client x -15
  const Point anchor{adjust_anchor(15, 0, 30), 25};
  EXPECT_EQ(selection_text(anchor, {54, 74}, {30, 0}, {0, 0}, kActualSize, kPicture), "(10,20)-(79,69)");
  EXPECT_EQ(selection_from_drag(anchor, {54, 74}, {30, 0}, kActualSize, kPicture), (Rect{10, 20, 80, 70}));
  EXPECT_EQ(selection_outline({-1, -1, 0, 0}, {0, 0}, kActualSize), (Outline{{4, 4}, {4, 4}}));
  EXPECT_FALSE(selection_exists(Rect{}));
  for (const Rect& r : {Rect{1, 0, 0, 0}, Rect{0, 0, 0, 1}, Rect{-1, -1, 0, 0}}) EXPECT_TRUE(selection_exists(r));
}

}  // namespace
}  // namespace murkel
