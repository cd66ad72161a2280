// Canvas scrolling, resize rule, coordinates, drag clamp, selection state and rectangle.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"
#include "core/canvas/selection_edit.h"
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

// ---- selection changed by keys and by its edges (picture 100 x 80)

TEST(SelectionEdit, KeysMoveAndSizeWithinThePictureAndNeverBelowOnePixel) {
  const Point picture{100, 80};
  const struct { Rect start; std::int32_t dx, dy; bool size; Rect expected; } cases[] = {
      {{10, 20, 50, 70}, 1, 0, false, {11, 20, 51, 70}},  {{10, 20, 50, 70}, -10, -10, false, {0, 10, 40, 60}},
      {{95, 0, 100, 5}, 1, -1, false, {95, 0, 100, 5}},    // at the right and top edges: stays
      {{92, 75, 98, 79}, 10, 10, false, {94, 76, 100, 80}},  // stops at the edge, not short of it
      {{0, 0, 100, 80}, -1, 1, false, {0, 0, 100, 80}},     // the whole picture cannot move
      {{10, 20, 50, 70}, 10, -10, true, {10, 20, 60, 60}},  {{10, 20, 11, 21}, -1, -1, true, {10, 20, 11, 21}},
      {{10, 20, 15, 25}, -10, -10, true, {10, 20, 11, 21}},  // never below 1 x 1
      {{10, 20, 95, 78}, 10, 10, true, {10, 20, 100, 80}},
  };
  for (const auto& c : cases) {
    const Rect r = c.size ? size_selection(c.start, c.dx, c.dy, picture) : move_selection(c.start, c.dx, c.dy, picture);
    EXPECT_EQ(r, c.expected) << c.start.left << "," << c.start.top << " " << c.dx << "," << c.dy << " " << c.size;
  }
  EXPECT_EQ(whole_picture(picture), (Rect{0, 0, 100, 80}));
  EXPECT_EQ(selection_corners_text(Rect{10, 20, 50, 70}), "(10,20)-(49,69)");
  EXPECT_EQ(cut_to_picture(Rect{-1, -1, 0, 0}, picture), Rect{});
  EXPECT_EQ(cut_to_picture(Rect{90, 70, 120, 95}, picture), (Rect{90, 70, 100, 80}));
}

// Outline of (10,20)-(50,70) at 100 %, unscrolled: client x 15..54, y 25..74.
TEST(SelectionEdit, GrabsTakeTheEdgesAndCornersInReach) {
  const Outline o = selection_outline(Rect{10, 20, 50, 70}, Point{0, 0}, kActualSize);
  ASSERT_EQ(o, (Outline{{15, 25}, {54, 74}}));
  const struct { Point p; Grab grab; } cases[] = {
      {{15, 50}, {true, false, false, false}},  {{12, 50}, {true, false, false, false}},
      {{11, 50}, {}},                           {{57, 40}, {false, false, true, false}},
      {{30, 22}, {false, true, false, false}},  {{30, 77}, {false, false, false, true}},
      {{30, 78}, {}},                           {{30, 50}, {}},  // inside: a press clears as before
      {{14, 24}, {true, true, false, false}},   {{56, 76}, {false, false, true, true}},
      {{53, 27}, {false, true, true, false}},   {{12, 72}, {true, false, false, true}},
      {{12, 78}, {}},                           // past a corner's reach
  };
  for (const auto& c : cases) EXPECT_EQ(grab_at(o, c.p), c.grab) << c.p.x << "," << c.p.y;
  // A selection two pixels wide: the nearer edge holds, the right one on a tie.
  const Outline narrow = selection_outline(Rect{10, 20, 12, 70}, Point{0, 0}, kActualSize);
  EXPECT_EQ(grab_at(narrow, Point{15, 50}), (Grab{true, false, false, false}));
  EXPECT_EQ(grab_at(narrow, Point{16, 50}), (Grab{false, false, true, false}));
}

TEST(SelectionEdit, DraggedEdgesStopAtThePictureAndOnePixelShortOfTheOppositeEdge) {
  const Point picture{100, 80};
  const Rect s{10, 20, 50, 70};
  const struct { Grab grab; Point pixel; Rect expected; } cases[] = {
      {{true, false, false, false}, {5, 0}, {5, 20, 50, 70}},     {{true, false, false, false}, {-9, 0}, {0, 20, 50, 70}},
      {{true, false, false, false}, {60, 0}, {49, 20, 50, 70}},   {{false, false, true, false}, {59, 0}, {10, 20, 60, 70}},
      {{false, false, true, false}, {200, 0}, {10, 20, 100, 70}}, {{false, false, true, false}, {3, 0}, {10, 20, 11, 70}},
      {{false, false, false, true}, {0, 79}, {10, 20, 50, 80}},    {{true, true, false, false}, {12, 22}, {12, 22, 50, 70}},
      {{false, true, true, false}, {70, 90}, {10, 69, 71, 70}},
  };
  for (const auto& c : cases) EXPECT_EQ(drag_edges(s, c.grab, c.pixel, picture), c.expected) << c.pixel.x << "," << c.pixel.y;
}

}  // namespace
}  // namespace murkel
