// End to end: pictures on the canvas, scrolling with bars and wheel, the drag selection and File > Open.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using e2e::escape;

constexpr COLORREF kGray = RGB(128, 128, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Every pixel of a picture up to 1024 x 1024 has its own colour, never gray:
// red and green from x and y, blue from their high bits.
COLORREF picture_colour(int x, int y) {
  return RGB(x & 0xFF, y & 0xFF, 64 + 16 * (x >> 8) + (y >> 8));
}

const std::string kTitlePrefix = "MURKEL_Pro\x84\x9F[";

// "画像が開けません。"
const std::string kCannotOpen = "\x89\xE6\x91\x9C\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42";

std::string hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%06lX", static_cast<unsigned long>(c));
  return text;
}

// The picture stands at client (5, 5), unscrolled, with the gray margin about it.
void expect_picture_at_margin(Editor& editor, int width, int height, const e2e::PixelFunction& colour) {
  const e2e::Capture shot = editor.canvas_pixels({0, 0, width + 10, height + 10});
  int wrong = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const bool inside = x >= 5 && x < width + 5 && y >= 5 && y < height + 5;
      const COLORREF expected = inside ? colour(x - 5, y - 5) : kGray;
      if (shot.at(x, y) != expected && ++wrong <= 5) {
        ADD_FAILURE() << "client (" << x << "," << y << ") shows " << hex(shot.at(x, y)) << ", expected "
                      << hex(expected);
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "pixels that differ";
}

// Waits until every point shows black (the drag loop may be finishing its
// last pass), then checks each.
template <size_t N>
void expect_black_at(Editor& editor, const POINT (&points)[N]) {
  e2e::wait_until([&] {
    for (POINT p : points) {
      if (editor.canvas_pixel(p) != kBlack) return false;
    }
    return true;
  });
  for (POINT p : points) {
    EXPECT_EQ(editor.canvas_pixel(p), kBlack) << "outline at client (" << p.x << "," << p.y << ")";
  }
}

// Waits for the title, then compares its bytes.
void expect_title(Editor& editor, const std::string& expected) {
  std::string title;
  e2e::wait_until([&] { return (title = editor.title()) == expected; });
  EXPECT_EQ(title, expected) << "read: " << escape(title);
}

// Types the path into the Open dialog's file name field and presses OK.
void choose_in_open_dialog(Editor& editor, const std::string& path) {
  const e2e::DialogInfo dialog = editor.wait_dialog();
  std::vector<HWND> edits;
  e2e::wait_until([&] { return !(edits = e2e::descendant_windows(dialog.hwnd, "Edit")).empty(); });
  ASSERT_FALSE(edits.empty()) << "the Open dialog has no file name field";
  e2e::set_window_text(edits.front(), path);
  Editor::press_button(dialog.hwnd, IDOK);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(dialog.hwnd); })) << "the Open dialog stayed open";
}

TEST(CanvasE2e, CommandLinePictureStandsAtFiveFiveWithGrayAroundAndNamesTheTitle) {
  e2e::TempFolder folder;
  const std::string path = folder.file("my picture.bmp");  // a blank inside the quoted item
  e2e::write_bmp24(path, 123, 61, picture_colour);          // odd width: rows carry padding
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == picture_colour(0, 0); });
  expect_picture_at_margin(editor, 123, 61, picture_colour);
}

TEST(CanvasE2e, PaletteFileShowsItsPaletteColoursExactly) {
  e2e::TempFolder folder;
  std::vector<COLORREF> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = RGB(i, 255 - i, (i * 37) & 0xFF);
  const auto index = [](int x, int y) { return static_cast<std::uint8_t>((x * 3 + y * 7) & 0xFF); };
  const std::string path = folder.file("palette.bmp");
  e2e::write_bmp8(path, 67, 45, palette, index);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == palette[index(0, 0)]; });
  expect_picture_at_margin(editor, 67, 45, [&](int x, int y) { return palette[index(x, y)]; });
}

TEST(CanvasE2e, ScrollRangesLineAndPageStepsAndTheWheel) {
  e2e::TempFolder folder;
  const std::string path = folder.file("large.bmp");
  e2e::write_bmp24(path, 1000, 800, picture_colour);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");

  const SIZE client = editor.canvas_client_size();
  const int max_x = 1000 + 10 - client.cx;
  const int max_y = 800 + 10 - client.cy;
  ASSERT_GT(max_x, 20) << "the canvas is too wide for this picture to scroll";
  ASSERT_GT(max_y, 20) << "the canvas is too tall for this picture to scroll";
  if (const auto info = editor.scroll_info(true)) EXPECT_EQ(info->nMax, max_x);  // Wine: not across processes
  if (const auto info = editor.scroll_info(false)) EXPECT_EQ(info->nMax, max_y);

  // The position field follows every scroll through the unmoved cursor at image (0, 0) + offset.
  const POINT corner{5, 5};
  editor.mouse_move(corner);
  ASSERT_EQ(editor.wait_status_text(0, "x:0,y:0"), "x:0,y:0");

  // Wheel over the picture: up and down by one line step, never above 0.
  const POINT over_picture = editor.canvas_to_screen(corner);
  editor.wheel(over_picture, true);
  EXPECT_EQ(editor.wait_status_text(0, "x:0,y:10"), "x:0,y:10");
  editor.wheel(over_picture, false);
  EXPECT_EQ(editor.wait_status_text(0, "x:0,y:0"), "x:0,y:0");
  editor.wheel(over_picture, false);
  editor.wheel(over_picture, true);
  EXPECT_EQ(editor.wait_status_text(0, "x:0,y:10"), "x:0,y:10") << "a line step up must stop at 0";
  EXPECT_EQ(editor.canvas_pixel(corner), picture_colour(0, 10));

  // Level with the horizontal bar, or lower over the status bar, the wheel scrolls sideways.
  RECT canvas_rect{};
  GetWindowRect(editor.canvas(), &canvas_rect);
  editor.wheel({(canvas_rect.left + canvas_rect.right) / 2, canvas_rect.bottom - 2}, true);
  EXPECT_EQ(editor.wait_status_text(0, "x:10,y:10"), "x:10,y:10");
  RECT status_rect{};
  GetWindowRect(editor.status_bar(), &status_rect);
  editor.wheel({(status_rect.left + status_rect.right) / 2, (status_rect.top + status_rect.bottom) / 2}, true);
  EXPECT_EQ(editor.wait_status_text(0, "x:20,y:10"), "x:20,y:10");
  EXPECT_EQ(editor.canvas_pixel(corner), picture_colour(20, 10));

  // At the maximum the picture's last column and row stand 5 pixels from the
  // canvas's edges, with gray beyond: the range is the picture plus margins less the client.
  const std::string at_bottom = "x:" + std::to_string(max_x) + ",y:" + std::to_string(max_y);
  editor.scroll(true, SB_BOTTOM);
  editor.scroll(false, SB_BOTTOM);
  EXPECT_EQ(editor.wait_status_text(0, at_bottom), at_bottom);
  EXPECT_EQ(editor.canvas_pixel({client.cx - 6, client.cy - 6}), picture_colour(999, 799));
  EXPECT_EQ(editor.canvas_pixel({client.cx - 5, client.cy - 6}), kGray);
  EXPECT_EQ(editor.canvas_pixel({client.cx - 6, client.cy - 5}), kGray);
  EXPECT_EQ(editor.canvas_pixel(corner), picture_colour(max_x, max_y));

  // A line step stops at the maximum; a trough click (page step) moves by 1.
  editor.scroll(true, SB_LINEDOWN);
  editor.scroll(true, SB_LINEUP);
  editor.scroll(true, SB_PAGEUP);
  const std::string stepped = "x:" + std::to_string(max_x - 11) + ",y:" + std::to_string(max_y);
  EXPECT_EQ(editor.wait_status_text(0, stepped), stepped);
  editor.scroll(false, SB_TOP);
  editor.scroll(false, SB_PAGEDOWN);
  const std::string paged = "x:" + std::to_string(max_x - 11) + ",y:1";
  EXPECT_EQ(editor.wait_status_text(0, paged), paged);
  EXPECT_EQ(editor.canvas_pixel(corner), picture_colour(max_x - 11, 1));
}

TEST(CanvasE2e, DragSelectsTheSecondClickClearsAndTheThirdStartsAgain) {
  e2e::TempFolder folder;
  const std::string path = folder.file("drag.bmp");
  e2e::write_bmp24(path, 200, 150, picture_colour);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == picture_colour(0, 0); });

  // Press at client (15, 25), drag to (54, 74): image (10, 20) to (49, 69).
  editor.mouse_press({15, 25});
  EXPECT_EQ(editor.wait_status_text(1, "(10,20)-(10,20)"), "(10,20)-(10,20)");
  editor.mouse_move({54, 74});
  EXPECT_EQ(editor.wait_status_text(1, "(10,20)-(49,69)"), "(10,20)-(49,69)");
  editor.mouse_release({54, 74});
  EXPECT_EQ(editor.status_text(1), "(10,20)-(49,69)");

  // The band stays on the rectangle's own border pixels, drawn in black
  // (the drag loop may be finishing its last pass).
  const POINT outline[] = {{15, 25}, {54, 25}, {54, 74}, {15, 74}, {30, 25}, {15, 50}};
  expect_black_at(editor, outline);
  EXPECT_EQ(editor.canvas_pixel({30, 50}), picture_colour(25, 45)) << "inside the outline";
  EXPECT_EQ(editor.canvas_pixel({55, 74}), picture_colour(50, 69)) << "right of the outline";

  editor.mouse_move({20, 30});
  EXPECT_EQ(editor.wait_status_text(0, "x:15,y:25"), "x:15,y:25");

  // The second click clears the selection and its outline.
  editor.mouse_press({100, 100});
  editor.mouse_release({100, 100});
  EXPECT_EQ(editor.wait_status_text(1, ""), "");
  // The editor's drawing reaches the display on its own connection: wait for it.
  e2e::wait_until([&] { return editor.canvas_pixel({15, 25}) == picture_colour(10, 20); });
  EXPECT_EQ(editor.canvas_pixel({15, 25}), picture_colour(10, 20));
  EXPECT_EQ(editor.canvas_pixel({54, 74}), picture_colour(49, 69));

  // The third press starts a new drag, backwards this time.
  editor.mouse_press({60, 40});
  EXPECT_EQ(editor.wait_status_text(1, "(55,35)-(55,35)"), "(55,35)-(55,35)");
  editor.mouse_move({40, 30});
  EXPECT_EQ(editor.wait_status_text(1, "(55,35)-(35,25)"), "(55,35)-(35,25)");
  editor.mouse_release({40, 30});
}

// Scrolled to (30, 20) before the press: the stored rectangle covers image
// (30, 20)-(39, 29), and the field reads the corners less the offset of the press.
TEST(CanvasE2e, DragOnAScrolledViewReportsCornersLessThePressOffset) {
  e2e::TempFolder folder;
  const std::string path = folder.file("scrolled.bmp");
  e2e::write_bmp24(path, 1000, 800, picture_colour);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");

  editor.scroll(true, SB_THUMBPOSITION, 30);
  editor.scroll(false, SB_THUMBPOSITION, 20);
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == picture_colour(30, 20); });
  ASSERT_EQ(editor.canvas_pixel({5, 5}), picture_colour(30, 20)) << "the view did not scroll to (30, 20)";
  editor.mouse_move({5, 5});
  EXPECT_EQ(editor.wait_status_text(0, "x:30,y:20"), "x:30,y:20");

  editor.mouse_press({5, 5});
  editor.mouse_move({14, 14});
  EXPECT_EQ(editor.wait_status_text(1, "(0,0)-(9,9)"), "(0,0)-(9,9)");
  editor.mouse_release({14, 14});

  // The band left on screen covers the rectangle's border pixels.
  const POINT outline[] = {{5, 5}, {14, 5}, {14, 14}, {5, 14}};
  expect_black_at(editor, outline);
  EXPECT_EQ(editor.canvas_pixel({10, 10}), picture_colour(35, 25)) << "inside the outline";

  // Ten pixels further right the repaint draws the stored rectangle's
  // outline from client x -5 to 4: its right edge at x = 4, the band gone.
  editor.scroll(true, SB_LINEDOWN);
  e2e::wait_until([&] { return editor.canvas_pixel({4, 10}) == kBlack; });
  EXPECT_EQ(editor.canvas_pixel({4, 10}), kBlack) << "right edge of the stored rectangle";
  EXPECT_EQ(editor.canvas_pixel({5, 10}), picture_colour(40, 25));
  EXPECT_EQ(editor.canvas_pixel({14, 14}), picture_colour(49, 29)) << "the band is gone";
}

TEST(CanvasE2e, FileOpenLoadsThroughTheDialogAndRefusesAFileThatIsNoBitmap) {
  e2e::TempFolder folder;
  const std::string picture = folder.file("opened picture.bmp");
  e2e::write_bmp24(picture, 40, 30, [](int x, int y) { return RGB(255 - x, 3 * y, 200); });
  const std::string not_bitmap = folder.file("not a picture.bmp");
  e2e::write_file(not_bitmap, "This is plain text, not a bitmap.\r\n");

  Editor editor(folder.path());
  editor.main_window();
  EXPECT_EQ(editor.title(), "MURKEL_Pro");

  editor.command(1001);
  choose_in_open_dialog(editor, picture);
  const std::string opened_title = kTitlePrefix + picture + "]";
  expect_title(editor, opened_title);
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == RGB(255, 0, 200); });
  expect_picture_at_margin(editor, 40, 30, [](int x, int y) { return RGB(255 - x, 3 * y, 200); });

  // A file the image loader cannot read: the message, and the document as it was.
  editor.command(1001);
  choose_in_open_dialog(editor, not_bitmap);
  const e2e::DialogInfo box = editor.wait_dialog();
  EXPECT_EQ(box.caption, "MURKEL Pro");
  EXPECT_EQ(box.text, kCannotOpen) << "read: " << escape(box.text);
  EXPECT_EQ(e2e::message_box_icon(box.hwnd), IDI_WARNING) << "the box must carry the warning icon";
  Editor::press_button(box.hwnd, IDOK);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(box.hwnd); })) << "the message box did not close";
  EXPECT_EQ(editor.title(), opened_title);
  expect_picture_at_margin(editor, 40, 30, [](int x, int y) { return RGB(255 - x, 3 * y, 200); });

  // Cancelling the dialog changes nothing either; the editor then closes normally.
  editor.command(1001);
  const e2e::DialogInfo dialog = editor.wait_dialog();
  Editor::press_button(dialog.hwnd, IDCANCEL);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(dialog.hwnd); })) << "the Open dialog stayed open";
  EXPECT_EQ(editor.title(), opened_title);
  editor.close();
  const std::optional<DWORD> code = editor.wait_exit();
  ASSERT_TRUE(code.has_value()) << "WM_CLOSE did not end the editor";
  EXPECT_EQ(*code, 0u);
}

}  // namespace
