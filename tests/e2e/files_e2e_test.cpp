// End to end: Save, Save As, Exit and Revert on the real editor, judged by
// titles, boxes, the canvas and the bytes of the files on disk.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using e2e::escape;

const std::string kTitlePrefix = "MURKEL_Pro\x84\x9F[";
const std::string kTitlePrefixModified = "MURKEL_Pro\x84\x9F[*";
// "画像は変更されています。保存しますか?"
const std::string kSavePrompt =
    "\x89\xE6\x91\x9C\x82\xCD\x95\xCF\x8D\x58\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42\x95\xDB\x91\xB6"
    "\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x3F";
// "この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?"
const std::string kRevertPrompt =
    "\x82\xB1\x82\xCC\x93\xAE\x8D\xEC\x82\xF0\x8D\x73\x82\xA4\x82\xC6\x8D\xA1\x82\xDC\x82\xC5\x82\xCC\x95\xD2\x8F\x57"
    "\x93\xE0\x97\x65\x82\xAA\x96\xB3\x8C\xF8\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7\x81\x42\x8C\xB3\x82\xCC\x8F\xF3"
    "\x91\xD4\x82\xC9\x96\xDF\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x3F";
// "画像が開けません。"
const std::string kCannotOpen = "\x89\xE6\x91\x9C\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42";

COLORREF picture_colour(int x, int y) { return RGB(x & 0xFF, y & 0xFF, 64 + (x >> 8) * 16 + (y >> 8)); }
COLORREF other_colour(int x, int y) { return RGB(255 - (x & 0xFF), 200, y & 0xFF); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void expect_title(Editor& editor, const std::string& expected) {
  std::string title;
  e2e::wait_until([&] { return (title = editor.title()) == expected; });
  EXPECT_EQ(title, expected) << "read: " << escape(title);
}

// The box of the editor now open: its caption, text and warning icon checked.
HWND expect_box(Editor& editor, const std::string& text) {
  const e2e::DialogInfo box = editor.wait_dialog();
  EXPECT_EQ(box.caption, "MURKEL Pro");
  EXPECT_EQ(box.text, text) << "read: " << escape(box.text);
  EXPECT_EQ(e2e::message_box_icon(box.hwnd), IDI_WARNING);
  return box.hwnd;
}

void press_and_wait_gone(HWND dialog, int button) {
  Editor::press_button(dialog, button);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
}

// Types a path into the Save dialog now open and presses Save, or cancels it.
void answer_save_dialog(Editor& editor, const std::string& path) {
  const e2e::DialogInfo dialog = editor.wait_dialog();
  if (!path.empty()) {
    std::vector<HWND> edits;
    e2e::wait_until([&] { return !(edits = e2e::descendant_windows(dialog.hwnd, "Edit")).empty(); });
    ASSERT_FALSE(edits.empty()) << "the Save dialog has no file name field";
    e2e::set_window_text(edits.front(), path);
  }
  press_and_wait_gone(dialog.hwnd, path.empty() ? IDCANCEL : IDOK);
}

// Drags over the view's (10, 20)-(49, 69) and fills it with the start fill
// colour, black. The cursor is seen there before the press.
void fill_a_rectangle(Editor& editor, const std::string& path, POINT scroll = {0, 0}) {
  const std::string at = "x:" + std::to_string(10 + scroll.x) + ",y:" + std::to_string(20 + scroll.y);
  editor.mouse_move({15, 25});
  ASSERT_EQ(editor.wait_status_text(0, at), at);
  editor.mouse_press({15, 25});
  ASSERT_EQ(editor.wait_status_text(1, "(10,20)-(10,20)"), "(10,20)-(10,20)");
  editor.mouse_move({54, 74});
  ASSERT_EQ(editor.wait_status_text(1, "(10,20)-(49,69)"), "(10,20)-(49,69)");
  editor.mouse_release({54, 74});
  editor.command(2004);
  expect_title(editor, kTitlePrefixModified + path + "]");
}

COLORREF filled_colour(int x, int y) {
  return x >= 10 && x < 50 && y >= 20 && y < 70 ? RGB(0, 0, 0) : picture_colour(x, y);
}

// The file is the 24-bit file of that picture (headers with zero resolution).
void expect_saved_picture(const std::string& path, int width, int height, const e2e::PixelFunction& colour) {
  e2e::TempFolder folder;
  e2e::write_bmp24(folder.file("expected.bmp"), width, height, colour);
  const std::string expected = read_file(folder.file("expected.bmp"));
  const std::string saved = read_file(path);
  ASSERT_EQ(saved.size(), expected.size()) << path;
  EXPECT_EQ(saved.substr(0, 38), expected.substr(0, 38)) << "headers of " << path;
  EXPECT_EQ(saved.substr(38, 16), std::string(16, '\0')) << "headers of " << path;
  const int row_size = (3 * width + 3) & ~3;
  for (size_t i = 54; i < saved.size(); ++i) {
    if (saved[i] != expected[i]) {
      const int at = static_cast<int>(i - 54);
      ADD_FAILURE() << path << ": first wrong byte at pixel (" << at % row_size / 3 << ", "
                    << height - 1 - at / row_size << ")";
      break;
    }
  }
}

TEST(FilesE2e, SaveWritesTheEditedPictureAndSaveAsTakesTheNewName) {
  e2e::TempFolder folder;
  const std::string path = folder.file("edited.bmp");
  e2e::write_bmp24(path, 80, 90, picture_colour);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");
  fill_a_rectangle(editor, path);

  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  expect_title(editor, kTitlePrefix + path + "]");
  expect_saved_picture(path, 80, 90, filled_colour);

  // Save As with no extension typed: ".bmp" is added, and the document takes the name.
  editor.command(1003);
  answer_save_dialog(editor, folder.file("copy"));
  const std::string copy = folder.file("copy.bmp");
  expect_title(editor, kTitlePrefix + copy + "]");
  expect_saved_picture(copy, 80, 90, filled_colour);

  // Cancelled, it changes nothing.
  editor.command(1003);
  answer_save_dialog(editor, "");
  EXPECT_EQ(editor.title(), kTitlePrefix + copy + "]");
}

TEST(FilesE2e, SaveWithoutAFileNameGoesThroughSaveAs) {
  e2e::TempFolder folder;
  Editor editor(folder.path());
  editor.main_window();
  editor.command(1002);
  answer_save_dialog(editor, folder.file("empty.bmp"));
  expect_title(editor, kTitlePrefix + folder.file("empty.bmp") + "]");
  EXPECT_EQ(read_file(folder.file("empty.bmp")).size(), 54u);
}

// Exit and closing the frame ask with changes: Yes then a cancelled dialog,
// and Cancel, keep the editor running; No ends it without writing.
TEST(FilesE2e, ExitWithChangesAsksAndOnlyNoEndsWithoutWriting) {
  e2e::TempFolder folder;
  const std::string path = folder.file("exit.bmp");
  e2e::write_bmp24(path, 80, 90, picture_colour);
  const std::string original = read_file(path);
  Editor editor(folder.path(), path);
  editor.main_window();
  fill_a_rectangle(editor, path);

  editor.command(1005);
  press_and_wait_gone(expect_box(editor, kSavePrompt), IDYES);
  answer_save_dialog(editor, "");
  EXPECT_TRUE(editor.running());
  editor.command(1005);
  press_and_wait_gone(expect_box(editor, kSavePrompt), IDCANCEL);
  EXPECT_TRUE(editor.running());
  EXPECT_EQ(editor.title(), kTitlePrefixModified + path + "]");

  editor.close();
  press_and_wait_gone(expect_box(editor, kSavePrompt), IDNO);
  const std::optional<DWORD> code = editor.wait_exit();
  ASSERT_TRUE(code.has_value()) << "No did not end the editor";
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(read_file(path) == original) << "the file was written";
}

// Revert reloads the file's content of now at the same scroll position,
// asking only while there are changes; a picture of another size gets new
// ranges with the offset kept where it fits; a file gone is reported.
TEST(FilesE2e, RevertReloadsTheFileAsItIsNow) {
  e2e::TempFolder folder;
  const std::string path = folder.file("revert.bmp");
  e2e::write_bmp24(path, 1000, 800, picture_colour);
  Editor editor(folder.path(), path);
  editor.main_window();
  expect_title(editor, kTitlePrefix + path + "]");
  editor.scroll(true, SB_THUMBPOSITION, 30);
  editor.scroll(false, SB_THUMBPOSITION, 20);
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == picture_colour(30, 20); });
  fill_a_rectangle(editor, path, {30, 20});
  e2e::write_bmp24(path, 1000, 800, other_colour);

  editor.command(1004);
  press_and_wait_gone(expect_box(editor, kRevertPrompt), IDNO);
  EXPECT_EQ(editor.title(), kTitlePrefixModified + path + "]");
  editor.command(1004);
  press_and_wait_gone(expect_box(editor, kRevertPrompt), IDYES);
  expect_title(editor, kTitlePrefix + path + "]");
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == other_colour(30, 20); });
  EXPECT_EQ(editor.canvas_pixel({5, 5}), other_colour(30, 20));
  e2e::wait_until([&] { return editor.canvas_pixel({15, 50}) == RGB(0, 0, 0); });
  EXPECT_EQ(editor.canvas_pixel({15, 50}), RGB(0, 0, 0)) << "the selection outline is drawn again";

  // Another size, scrolling 7 and 4 pixels at most: no question, offset clamped.
  const SIZE client = editor.canvas_client_size();
  e2e::write_bmp24(path, client.cx - 3, client.cy - 6, picture_colour);
  ASSERT_TRUE(editor.command_and_wait(1004)) << "Revert asked without changes";
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == picture_colour(7, 4); });
  EXPECT_EQ(editor.canvas_pixel({5, 5}), picture_colour(7, 4));
  editor.mouse_move({5, 5});
  EXPECT_EQ(editor.wait_status_text(0, "x:7,y:4"), "x:7,y:4");

  DeleteFileA(path.c_str());
  editor.command(1004);
  press_and_wait_gone(expect_box(editor, kCannotOpen), IDOK);
  EXPECT_EQ(editor.title(), kTitlePrefix + path + "]");
  EXPECT_EQ(editor.canvas_pixel({5, 5}), picture_colour(7, 4));
}

}  // namespace
