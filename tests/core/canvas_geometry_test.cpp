// Canvas scrolling, resize rule, coordinates, drag clamp, selection state and rectangle.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "canvas/scroll.h"
#include "canvas/selection.h"

namespace murkel {
namespace {

// ---- scrolling

TEST(ScrollRequest, OneThousandBySixHundredInThreeHundredByTwoHundred) {
  EXPECT_EQ(load_scroll_record(1000, 300), (ScrollRecord{0, 710, 1, 0}));
  EXPECT_EQ(load_scroll_record(800, 200), (ScrollRecord{0, 610, 1, 0}));
  EXPECT_EQ(scroll_request_offset(0, kScrollLineDown, 0, 1000, 300), 10);
  EXPECT_EQ(scroll_request_offset(0, kScrollPageDown, 0, 1000, 300), 1);
  EXPECT_EQ(scroll_request_offset(0, kScrollBottom, 0, 800, 200), 610);
}

TEST(ScrollRequest, CodeTable) {
  // picture 100, client 50: max = 60
  const struct { std::int32_t offset; int code; std::uint16_t thumb; std::int32_t expected; } cases[] = {
      {30, kScrollLineUp, 0, 20},   {5, kScrollLineUp, 0, 0},     {10, kScrollLineUp, 0, 0},
      {0, kScrollLineUp, 0, 0},     {30, kScrollLineDown, 0, 40}, {55, kScrollLineDown, 0, 60},
      {50, kScrollLineDown, 0, 60}, {60, kScrollLineDown, 0, 60}, {30, kScrollPageUp, 0, 29},
      {0, kScrollPageUp, 0, 0},     {30, kScrollPageDown, 0, 31}, {60, kScrollPageDown, 0, 60},
      {30, kScrollThumbPosition, 45, 45}, {30, kScrollThumbTrack, 7, 7},
      {30, kScrollTop, 0, 0},       {30, kScrollBottom, 0, 60},
      {30, 8, 99, 30},              {30, -1, 99, 30},             {30, 0x1234, 99, 30},
      // an offset left above max by a resize
      {90, kScrollLineDown, 0, 60}, {90, kScrollPageDown, 0, 60}, {90, kScrollLineUp, 0, 80},
      {90, kScrollPageUp, 0, 89},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scroll_request_offset(c.offset, c.code, c.thumb, 100, 50), c.expected)
        << "offset " << c.offset << " code " << c.code;
  }
}

TEST(ScrollRequest, ThumbIsTakenUnsignedAndAsIs) {
  EXPECT_EQ(scroll_request_offset(0, kScrollThumbTrack, 0xFFFF, 100, 50), 65535);
  EXPECT_EQ(scroll_request_offset(0, kScrollThumbPosition, 0x8000, 100, 50), 32768);
}

TEST(ScrollRequest, NothingMovesWhenThePictureFits) {
  // client >= picture + 10, equal sizes included
  for (int code = 0; code <= 8; ++code) {
    EXPECT_EQ(scroll_request_offset(0, code, 33, 90, 100), 0) << code;
    EXPECT_EQ(scroll_request_offset(7, code, 33, 90, 120), 7) << code;
  }
  EXPECT_EQ(scroll_request_offset(0, kScrollLineDown, 0, 91, 100), 1);
}

TEST(ScrollRequest, RecordAfterEveryRequest) {
  EXPECT_EQ(scroll_request_record(40, 1000, 300), (ScrollRecord{0, 710, 1, 40}));
  EXPECT_EQ(scroll_request_record(0, 100, 300), (ScrollRecord{0, -190, 1, 0}));
  EXPECT_EQ(scroll_request_record(0, 0, 0), (ScrollRecord{0, 10, 1, 0}));
}

TEST(LoadScrollRecord, MarginsDecideScrolling) {
  const struct { std::int32_t picture, client; ScrollRecord record; } cases[] = {
      {290, 300, ScrollRecord{}},            // exactly 10 narrower: fits
      {291, 300, ScrollRecord{0, 1, 1, 0}},  // one wider than that
      {100, 300, ScrollRecord{}},
      {0, 300, ScrollRecord{}},
      {1000, 300, ScrollRecord{0, 710, 1, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(load_scroll_record(c.picture, c.client), c.record) << c.picture;
}

TEST(ResizeAxis, FitsOrKeepsTheOffset) {
  const struct { std::int32_t offset, picture, client; ResizeAxis expected; } cases[] = {
      // widened until the picture fits: offset 0, record cleared
      {710, 1000, 1010, {true, ScrollRecord{}, 0}},
      {710, 1000, 2000, {true, ScrollRecord{}, 0}},
      // still wider than the client: offset kept, even above the new maximum
      {710, 1000, 400, {false, ScrollRecord{0, 610, 1, 710}, 710}},
      {20, 1000, 300, {false, ScrollRecord{0, 710, 1, 20}, 20}},
      {5, 291, 300, {false, ScrollRecord{0, 1, 1, 5}, 5}},
  };
  for (const auto& c : cases) {
    const ResizeAxis r = resize_axis(c.offset, c.picture, c.client);
    EXPECT_EQ(r.fits, c.expected.fits) << c.client;
    EXPECT_EQ(r.record, c.expected.record) << c.client;
    EXPECT_EQ(r.offset, c.expected.offset) << c.client;
  }
}

TEST(ResizeAxis, NextLineStepAfterWideningLandsOnTheNewMaximum) {
  const ResizeAxis r = resize_axis(710, 1000, 400);
  EXPECT_EQ(scroll_request_offset(r.offset, kScrollLineDown, 0, 1000, 400), 610);
}

TEST(ScrollArithmetic, ExtremeSizesDoNotOverflow) {
  constexpr std::int32_t big = 2147483647;
  EXPECT_EQ(scroll_maximum(big, 0), big);
  EXPECT_EQ(scroll_request_offset(big, kScrollLineDown, 0, big, 0), big);
  EXPECT_TRUE(axis_scrolls(big, big));
}

// ---- coordinates

TEST(Coordinates, ClientAndImage) {
  const struct { std::int32_t client, scroll, image; } cases[] = {
      {5, 0, 0}, {0, 0, -5}, {5, 30, 30}, {5, 20, 20}, {104, 0, 99}, {305, 710, 1010},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client_to_image(c.client, c.scroll), c.image);
    EXPECT_EQ(image_to_client(c.image, c.scroll), c.client);
  }
  static_assert(client_to_image(5, 0) == 0 && image_to_client(0, 0) == 5);
}

TEST(Coordinates, PositionText) {
  EXPECT_EQ(position_text(0, 0), "x:0,y:0");
  EXPECT_EQ(position_text(-5, -5), "x:-5,y:-5");
  EXPECT_EQ(position_text(30, 20), "x:30,y:20");
  // cursor at client (5, 5) with offset (30, 20)
  EXPECT_EQ(position_text(mouse_coordinate(5) + 30, mouse_coordinate(5) + 20), "x:30,y:20");
  // the 16-bit halves of the mouse message are unsigned
  EXPECT_EQ(mouse_coordinate(0), -5);
  EXPECT_EQ(mouse_coordinate(0xFFFF), 65530);
}

TEST(Coordinates, AnchorStaysOnItsImagePixel) {
  // anchor at screen 115 with offset 0 is image pixel 10 for a window at 100
  std::int32_t anchor = 115, anchor_scroll = 0;
  for (std::int32_t offset : {10, 40, 0, 25}) {
    anchor = adjust_anchor(anchor, anchor_scroll, offset);
    anchor_scroll = offset;
    EXPECT_EQ(client_to_image(anchor - 100, offset), 10) << offset;
  }
}

// ---- clamp

TEST(ClampDrag, Bounds) {
  // window at screen 100, picture 50 wide: columns 0..49 at client 5..54 unscrolled
  const struct { std::int32_t p, size, scroll, expected; } cases[] = {
      {130, 50, 0, 130}, {154, 50, 0, 154}, {155, 50, 0, 154}, {900, 50, 0, 154},
      {105, 50, 0, 105}, {104, 50, 0, 105}, {-50, 50, 0, 105},
      // scrolled by 30: last column at client 24, left bound the client edge
      {125, 50, 30, 124}, {100, 50, 30, 100}, {99, 50, 30, 100},
      // scrolled by 3: the picture's first column at client 2
      {101, 50, 3, 102},
      // 0 x 0 picture: the upper bound (client 4) is tested first
      {110, 0, 0, 104}, {105, 0, 0, 104}, {104, 0, 0, 105}, {103, 0, 0, 105}, {100, 0, 0, 105},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(clamp_drag_coordinate(c.p, 100, c.size, c.scroll), c.expected)
        << "p " << c.p << " size " << c.size << " scroll " << c.scroll;
  }
}

TEST(ClampDrag, EmptyPictureSelectsMinusOne) {
  const Point window{200, 100};
  const Point p = clamp_drag_point(Point{260, 170}, window, Point{0, 0}, Point{0, 0});
  const Point client{p.x - window.x, p.y - window.y};
  EXPECT_EQ(selection_from_drag(client, client, Point{0, 0}), (Rect{-1, -1, 0, 0}));
}

TEST(ClampDrag, PastTheEdgesStopsAtLastPixel) {
  // picture 40 x 30, window at (0, 0), unscrolled
  const Point anchor = clamp_drag_point(Point{-20, -20}, Point{0, 0}, Point{40, 30}, Point{0, 0});
  const Point point = clamp_drag_point(Point{500, 500}, Point{0, 0}, Point{40, 30}, Point{0, 0});
  EXPECT_EQ(selection_from_drag(anchor, point, Point{0, 0}), (Rect{0, 0, 40, 30}));
}

// ---- press / release

TEST(SelectionFlags, StateTable) {
  using F = SelectionFlags;
  SelectionFlags f;
  EXPECT_EQ(selection_press(f), PressResult::start_drag);
  EXPECT_EQ(f, (F{true, false, true}));  // dragging
  EXPECT_EQ(selection_release(f), ReleaseResult::end_drag);
  EXPECT_EQ(f, (F{false, true, false}));  // selected
  EXPECT_EQ(selection_press(f), PressResult::clear_on_release);
  EXPECT_EQ(f, (F{true, true, false}));  // clearing
  EXPECT_EQ(selection_release(f), ReleaseResult::clear_selection);
  EXPECT_EQ(f, (F{false, false, false}));  // idle
  // only the third press starts a new drag
  EXPECT_EQ(selection_press(f), PressResult::start_drag);
}

TEST(SelectionFlags, ReleaseWithoutPress) {
  // second click of a double click: only dragging is cleared
  const struct { SelectionFlags before, after; } cases[] = {
      {{false, false, false}, {false, false, false}},
      {{false, true, false}, {false, true, false}},
      {{false, false, true}, {false, false, false}},
  };
  for (const auto& c : cases) {
    SelectionFlags f = c.before;
    EXPECT_EQ(selection_release(f), ReleaseResult::nothing);
    EXPECT_EQ(f, c.after);
  }
}

TEST(SelectionFlags, DoubleClickOnSelectionClearsOnce) {
  SelectionFlags f{false, true, false};
  EXPECT_EQ(selection_press(f), PressResult::clear_on_release);
  EXPECT_EQ(selection_release(f), ReleaseResult::clear_selection);
  // the double-click message is not handled: no press, only the release
  EXPECT_EQ(selection_release(f), ReleaseResult::nothing);
  EXPECT_EQ(f, (SelectionFlags{false, false, false}));
}

TEST(SelectionFlags, PressDuringRunningDragStartsAnew) {
  // release outside the canvas never arrived
  SelectionFlags f{true, false, true};
  EXPECT_EQ(selection_press(f), PressResult::start_drag);
  EXPECT_EQ(f, (SelectionFlags{true, false, true}));
  EXPECT_EQ(selection_release(f), ReleaseResult::end_drag);
}

// ---- stored rectangle, text and outline

TEST(SelectionFromDrag, NormalisedFromEitherDirection) {
  const struct { Point anchor, point, scroll; Rect rect; const char* text; } cases[] = {
      {{15, 25}, {54, 74}, {0, 0}, {10, 20, 50, 70}, "(10,20)-(49,69)"},
      {{54, 74}, {15, 25}, {0, 0}, {10, 20, 50, 70}, "(49,69)-(10,20)"},
      {{54, 25}, {15, 74}, {0, 0}, {10, 20, 50, 70}, "(49,20)-(10,69)"},
      {{15, 74}, {54, 25}, {0, 0}, {10, 20, 50, 70}, "(10,69)-(49,20)"},
      {{15, 25}, {15, 25}, {0, 0}, {10, 20, 11, 21}, "(10,20)-(10,20)"},
      // scrolled before the press: the text is less the press offset
      {{5, 5}, {14, 14}, {30, 20}, {30, 20, 40, 30}, "(0,0)-(9,9)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(selection_from_drag(c.anchor, c.point, c.scroll), c.rect) << c.text;
    EXPECT_EQ(selection_text(c.anchor, c.point, c.scroll, c.scroll), c.text);
  }
}

TEST(SelectionText, ScrollDuringDragCountsFromThePressOffset) {
  // pressed at image (10, 20) unscrolled, then scrolled by (30, 0): the anchor moves to client x -15
  const Point scroll{30, 0};
  const Point anchor{adjust_anchor(15, 0, 30), 25};
  EXPECT_EQ(selection_text(anchor, Point{54, 74}, scroll, Point{0, 0}), "(10,20)-(79,69)");
  EXPECT_EQ(selection_from_drag(anchor, Point{54, 74}, scroll), (Rect{10, 20, 80, 70}));
}

TEST(SelectionOutline, CornersOverTheBorderPixels) {
  const struct { Rect rect; Point scroll; Outline outline; } cases[] = {
      {{10, 20, 50, 70}, {0, 0}, {{15, 25}, {54, 74}}},
      {{30, 20, 40, 30}, {30, 20}, {{5, 5}, {14, 14}}},
      {{10, 20, 11, 21}, {0, 0}, {{15, 25}, {15, 25}}},
      {{-1, -1, 0, 0}, {0, 0}, {{4, 4}, {4, 4}}},
  };
  for (const auto& c : cases) EXPECT_EQ(selection_outline(c.rect, c.scroll), c.outline);
}

TEST(SelectionOutline, ExistsUnlessAllZero) {
  EXPECT_FALSE(selection_exists(Rect{}));
  for (const Rect& r : {Rect{1, 0, 0, 0}, Rect{0, 1, 0, 0}, Rect{0, 0, 1, 0}, Rect{0, 0, 0, 1}, Rect{-1, -1, 0, 0}})
    EXPECT_TRUE(selection_exists(r));
}

}  // namespace
}  // namespace murkel
