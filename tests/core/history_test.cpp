// The edit history: walks with Undo and the step commands, the distance to
// the saved picture, the limits; a step's areas and the exchange of their bytes.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/history.h"
#include "core/document/step_areas.h"

namespace murkel {
namespace {

struct FakeChange {
  std::size_t size = 1;
  int id = 0;
  [[nodiscard]] std::size_t bytes() const { return size; }
};

// E an effect, U Undo, B Step backward, F Step forward, S Save. `counter` -1: any above 0.
TEST(History, WalksMoveTheCounterTheToggleAndTheSteps) {
  const struct { const char* walk; int counter; int toggle; std::size_t behind, steps; } cases[] = {
      {"E", 1, 0, 1, 1},
      {"EU", 0, 1, 0, 1},        // undo of the only change: unmodified
      {"EUU", 1, 0, 1, 1},       // the toggle: the second Undo redoes
      {"EUUU", 0, 1, 0, 1},
      {"EUEU", 0, 1, 0, 1},      // A, Undo, B, Undo: back before both, A gone
      {"EEU", 1, 1, 1, 2},       // two effects, one undone: still modified
      {"EEUU", 2, 0, 2, 2},
      {"EEEBB", 1, 0, 1, 3},
      {"EEEBBF", 2, 0, 2, 3},
      {"EEEBBE", 2, 0, 2, 2},    // a new effect drops the steps ahead
      {"EEBU", 0, 1, 0, 2},      // Undo after a step back goes back once more
      {"EEUB", 0, 0, 0, 2},      // a step back after Undo clears the toggle...
      {"EEUBU", 0, 0, 0, 2},     // ...so Undo goes back, and there is nowhere: nothing
      {"EEUF", 2, 0, 2, 2},
      {"EEUFU", 1, 1, 1, 2},
      {"BFU", 0, 0, 0, 0},       // nowhere to go: nothing moves
      {"EESBB", 2, 0, 0, 2},     // back past the save: the picture differs from its file again
      {"EESBBFF", 0, 0, 2, 2},
      {"EESU", 1, 1, 1, 2},
      {"EESBE", -1, 0, 2, 2},    // the saved picture was dropped with the steps ahead
      {"EESBEB", -1, 0, 1, 2},
  };
  for (const auto& c : cases) {
    History<FakeChange> h;
    h.start(true);
    for (const char* op = c.walk; *op; ++op) {
      switch (*op) {
        case 'E': h.record(FakeChange{}); break;
        case 'U': h.undo(); break;
        case 'B': h.step_back(); break;
        case 'F': h.step_forward(); break;
        case 'S': h.mark_saved(); break;
      }
    }
    if (c.counter < 0) {
      EXPECT_GT(h.modification_counter(), 0) << c.walk;
    } else {
      EXPECT_EQ(h.modification_counter(), c.counter) << c.walk;
    }
    EXPECT_EQ(h.undo_toggle(), c.toggle) << c.walk;
    EXPECT_EQ(h.steps_behind(), c.behind) << c.walk;
    EXPECT_EQ(h.steps(), c.steps) << c.walk;
    EXPECT_EQ(h.can_step_back(), c.behind > 0) << c.walk;
    EXPECT_EQ(h.can_step_forward(), c.behind < c.steps) << c.walk;
  }
}

TEST(History, HandsOutTheStepsInTheirOrderAndAPastedPictureIsUnsaved) {
  History<FakeChange> h;
  h.start(false);
  EXPECT_EQ(h.modification_counter(), 1);
  for (int id = 1; id <= 3; ++id) h.record(FakeChange{1, id});
  EXPECT_EQ(h.modification_counter(), 4);
  EXPECT_EQ(h.step_back()->id, 3);
  EXPECT_EQ(h.undo()->id, 2);
  EXPECT_EQ(h.undo()->id, 2);  // the redo hands out the same step
  EXPECT_EQ(h.step_forward()->id, 3);
  EXPECT_EQ(h.step_forward(), nullptr);
  h.record_without_step();  // memory was short: no step, but one change further
  EXPECT_EQ(h.steps(), 0u);
  EXPECT_EQ(h.modification_counter(), 5);
  EXPECT_EQ(h.undo(), nullptr);
}

// At most 100 steps and the memory budget, the oldest dropped first; the newest is always kept;
// the distance to the file stays known past dropped steps.
TEST(History, LimitsDropTheOldestStepsFirst) {
  History<FakeChange> h;
  h.start(true);
  for (int id = 1; id <= 105; ++id) h.record(FakeChange{1, id});
  EXPECT_EQ(h.steps(), 100u);
  EXPECT_EQ(h.modification_counter(), 105);
  for (int i = 0; i < 100; ++i) h.step_back();
  EXPECT_EQ(h.step_back(), nullptr);
  EXPECT_EQ(h.modification_counter(), 5);
  EXPECT_EQ(h.step_forward()->id, 6);

  History<FakeChange> small(HistoryLimits{100, 10});
  small.start(true);
  for (int id = 1; id <= 3; ++id) small.record(FakeChange{4, id});
  EXPECT_EQ(small.steps(), 2u);
  EXPECT_EQ(small.bytes(), 8u);
  small.record(FakeChange{50, 4});  // larger than the budget: kept alone
  EXPECT_EQ(small.steps(), 1u);
  EXPECT_EQ(small.step_back()->id, 4);
  EXPECT_TRUE(small.release_one());  // the step ahead goes when nothing is behind
  EXPECT_FALSE(small.release_one());
  EXPECT_EQ(small.bytes(), 0u);
}

// The areas of overlapping rectangles cover each pixel once and share no byte, whatever the
// bits a pixel; exchanging them takes a change back exactly and does it again.
TEST(StepAreas, ExchangeTakesBackOverlappingChangesAtAnyDepth) {
  const std::vector<Rect> rects = {{3, 2, 11, 9}, {6, 5, 17, 12}, {1, 10, 4, 13}, {-4, -4, 2, 1}, {30, 30, 40, 40}};
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const std::int32_t width = 19, height = 14;
    const std::ptrdiff_t stride = ((width * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(stride * height));
    std::mt19937 random(bits);
    for (auto& b : picture) b = static_cast<std::uint8_t>(random());
    // Bottom-up rows, as most bitmaps keep them.
    const RowBytes rows{picture.data() + (height - 1) * stride, -stride, bits, width, height};

    const std::vector<Rect> areas = step_areas(rects, bits, width, height);
    std::vector<int> covered(width * height);
    for (const Rect& a : areas) {
      for (int y = a.top; y < a.bottom; ++y)
        for (int x = a.left; x < a.right; ++x) ++covered[y * width + x];
    }
    for (const Rect& r : rects) {
      for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x) EXPECT_EQ(covered[y * width + x], 1);
    }
    for (std::size_t i = 0; i < areas.size(); ++i)
      for (std::size_t j = i + 1; j < areas.size(); ++j) {
        const Rect &a = areas[i], &b = areas[j];
        const bool rows_meet = a.top < b.bottom && b.top < a.bottom;
        const bool bytes_meet = a.left * bits / 8 < (b.right * bits + 7) / 8 && b.left * bits / 8 < (a.right * bits + 7) / 8;
        EXPECT_FALSE(rows_meet && bytes_meet) << i << " " << j;
      }

    const std::vector<std::uint8_t> before = picture;
    std::vector<std::uint8_t> kept(areas_bytes(rows, areas));
    copy_areas(rows, areas, kept.data());
    std::vector<std::uint8_t> in_bands(kept.size());  // the same, copied a few rows at a time
    for (std::int32_t y = -3; y < height; y += 4) copy_area_rows(rows, areas, y, y + 4, in_bands.data());
    EXPECT_EQ(in_bands, kept);
    for (const Rect& r : rects) {  // a change inside the rectangles only: every bit of their pixels flipped
      for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x)
          for (int bit = x * bits; bit < (x + 1) * bits; ++bit) rows.top_row[y * rows.stride + bit / 8] ^= 0x80 >> bit % 8;
    }
    const std::vector<std::uint8_t> after = picture;
    exchange_areas(rows, areas, kept.data());
    EXPECT_EQ(picture, before);
    exchange_areas(rows, areas, kept.data());
    EXPECT_EQ(picture, after);
  }
}

}  // namespace
}  // namespace murkel
