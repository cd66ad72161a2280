// End to end: each effect on a real drag changes exactly the selection as the
// core computes it; Undo restores, a second Undo reapplies, and the title
// follows; the fill colour comes from the real colour chooser.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "effects/effects.h"

namespace {

using e2e::Editor;
using murkel::EffectCode;
using murkel::Image;
using murkel::Rect;

constexpr int kWidth = 120;
constexpr int kHeight = 90;
constexpr WORD kCmdMosaic = 2000, kCmdScramble = 2003, kCmdFill = 2004, kCmdUndo = 2005, kCmdFillColour = 3003;
// The colour chooser's red, green and blue fields.
constexpr int kRedField = 706, kGreenField = 707, kBlueField = 708;

COLORREF noise(int x, int y) {
  std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u);
  h *= 2654435761u;
  return (h >> 8) & 0xFFFFFF;
}

Image picture_of(const e2e::PixelFunction& colour) {
  Image image{kWidth, kHeight, std::vector<murkel::Colour>(kWidth * kHeight)};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) image.pixels[y * kWidth + x] = colour(x, y);
  return image;
}

// The picture as the canvas shows it (unscrolled, at client (5, 5)).
Image shown_picture(Editor& editor) {
  const e2e::Capture shot = editor.canvas_pixels({5, 5, 5 + kWidth, 5 + kHeight});
  return Image{kWidth, kHeight, std::vector<murkel::Colour>(shot.pixels.begin(), shot.pixels.end())};
}

// The outline lies on the selection's border pixels, on screen only.
bool on_outline(const Rect& s, int x, int y) {
  const bool in_columns = x >= s.left && x < s.right, in_rows = y >= s.top && y < s.bottom;
  return (in_rows && (x == s.left || x == s.right - 1)) || (in_columns && (y == s.top || y == s.bottom - 1));
}

// Waits for the screen to show `expected` (outline aside), then reports what differs.
void expect_shown(Editor& editor, const Image& expected, const Rect& selection, const char* what) {
  Image shown;
  auto differences = [&](bool report) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const COLORREF got = shown.pixels[y * kWidth + x], want = expected.pixels[y * kWidth + x];
        if (on_outline(selection, x, y) || got == want) continue;
        if (report && ++wrong <= 3) ADD_FAILURE() << what << ": (" << x << "," << y << ") shows " << got << ", expected " << want;
        if (!report) return 1;
      }
    return wrong;
  };
  e2e::wait_until([&] { shown = shown_picture(editor); return differences(false) == 0; }, 5000);
  EXPECT_EQ(differences(true), 0) << what;
}

void expect_title(Editor& editor, const std::string& expected) {
  std::string title;
  e2e::wait_until([&] { return (title = editor.title()) == expected; });
  EXPECT_EQ(title, expected) << "read: " << e2e::escape(title);
}

class EffectsE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::write_bmp24(path_, kWidth, kHeight, noise);
    editor_.main_window();
    expect_title(editor_, clean_title_);
    e2e::wait_until([&] { return editor_.canvas_pixel({5, 5}) == noise(0, 0); });
    // Press at client (25, 15), release at (94, 60): image (20, 10) to (89, 55).
    editor_.mouse_press({25, 15});
    editor_.mouse_move({94, 60});
    ASSERT_EQ(editor_.wait_status_text(1, "(20,10)-(89,55)"), "(20,10)-(89,55)");
    editor_.mouse_release({94, 60});
  }

  const Rect selection_{20, 10, 90, 56};
  const Image original_ = picture_of(noise);
  e2e::TempFolder folder_;
  const std::string path_ = folder_.file("effects.bmp");
  const std::string clean_title_ = "MURKEL_Pro\x84\x9F[" + path_ + "]";
  const std::string modified_title_ = "MURKEL_Pro\x84\x9F[*" + path_ + "]";
  Editor editor_{folder_.path(), path_};
};

// Start values: cells 10 x 10, blur level 2, black fill.
TEST_F(EffectsE2e, EachEffectAppliesAndUndoTogglesIt) {
  const struct {
    EffectCode code;
    std::vector<murkel::Colour> block;
  } cases[] = {
      {EffectCode::mosaic, murkel::mosaic(original_.view(), selection_, 10, 10)},
      {EffectCode::blur, murkel::blur(original_.view(), selection_, 2)},
      {EffectCode::diffusion, murkel::diffusion(original_.view(), selection_)},
      {EffectCode::fill, murkel::fill(selection_, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "effect " << static_cast<int>(c.code));
    Image expected = original_;
    murkel::put_block(expected, selection_, c.block);
    ASSERT_TRUE(editor_.command_and_wait(kCmdMosaic + static_cast<WORD>(c.code)));
    expect_shown(editor_, expected, selection_, "after the effect");
    expect_title(editor_, modified_title_);
    ASSERT_TRUE(editor_.command_and_wait(kCmdUndo));
    expect_shown(editor_, original_, selection_, "after Undo");
    expect_title(editor_, clean_title_);
    ASSERT_TRUE(editor_.command_and_wait(kCmdUndo));
    expect_shown(editor_, expected, selection_, "after the second Undo");
    expect_title(editor_, modified_title_);
    ASSERT_TRUE(editor_.command_and_wait(kCmdUndo));
  }

  // Whatever the seed, each row of the selection is its own rotation by at
  // most half the level (32), and nothing outside it moves.
  ASSERT_TRUE(editor_.command_and_wait(kCmdScramble));
  e2e::wait_until([&] { return shown_picture(editor_).pixels != original_.pixels; }, 5000);
  const Image shown = shown_picture(editor_);
  const int w = selection_.right - selection_.left;
  for (int y = 0; y < kHeight; ++y) {
    const bool in_rows = y > selection_.top && y < selection_.bottom - 1;
    bool rotated = !in_rows;
    for (int d = -16; d <= 15 && !rotated; ++d) {
      rotated = true;
      for (int x = selection_.left + 1; x < selection_.right - 1 && rotated; ++x)
        rotated = shown.pixels[y * kWidth + x] ==
                  original_.pixels[y * kWidth + selection_.left + ((x - selection_.left + d) % w + w) % w];
    }
    EXPECT_TRUE(rotated) << "row " << y;
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= selection_.left && x < selection_.right && y >= selection_.top && y < selection_.bottom;
      if (!inside) ASSERT_EQ(shown.pixels[y * kWidth + x], original_.pixels[y * kWidth + x]) << x << "," << y;
    }
  }
}

// Types a colour into the open chooser's red, green and blue fields.
void type_colour(HWND chooser, int r, int g, int b) {
  e2e::set_window_text(GetDlgItem(chooser, kRedField), std::to_string(r));
  e2e::set_window_text(GetDlgItem(chooser, kGreenField), std::to_string(g));
  e2e::set_window_text(GetDlgItem(chooser, kBlueField), std::to_string(b));
}

TEST_F(EffectsE2e, FillUsesTheColourConfirmedInTheChooserAndCancelKeepsIt) {
  editor_.command(kCmdFillColour);
  HWND chooser = editor_.wait_dialog().hwnd;
  type_colour(chooser, 200, 30, 90);
  Editor::press_button(chooser, IDOK);
  ASSERT_TRUE(e2e::wait_until([&] { return editor_.dialogs().empty(); }));

  Image expected = original_;
  murkel::put_block(expected, selection_, murkel::fill(selection_, RGB(200, 30, 90)));
  ASSERT_TRUE(editor_.command_and_wait(kCmdFill));
  expect_shown(editor_, expected, selection_, "fill after OK");

  // Reopened, the chooser shows the current colour; Cancel keeps it.
  editor_.command(kCmdFillColour);
  chooser = editor_.wait_dialog().hwnd;
  EXPECT_EQ(e2e::window_text(GetDlgItem(chooser, kRedField)), "200");
  EXPECT_EQ(e2e::window_text(GetDlgItem(chooser, kGreenField)), "30");
  EXPECT_EQ(e2e::window_text(GetDlgItem(chooser, kBlueField)), "90");
  type_colour(chooser, 1, 2, 3);
  Editor::press_button(chooser, IDCANCEL);
  ASSERT_TRUE(e2e::wait_until([&] { return editor_.dialogs().empty(); }));
  ASSERT_TRUE(editor_.command_and_wait(kCmdUndo));
  expect_shown(editor_, original_, selection_, "after Undo");
  ASSERT_TRUE(editor_.command_and_wait(kCmdFill));
  expect_shown(editor_, expected, selection_, "fill after Cancel");
}

}  // namespace
