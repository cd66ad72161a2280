// End to end, the document flows on the real editor: open, select, apply,
// undo, save and exit; start without a picture and File > Open; a
// scrolled drag and Revert. Judged by titles, boxes, the screen and files.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using murkel::Image;
using murkel::Rect;

const std::string kTitle = "MURKEL_Pro─[", kModified = "MURKEL_Pro─[*";
const std::string kCannotOpen = "画像が開けません。";
const std::string kSavePrompt = "画像は変更されています。保存しますか?";
const std::string kRevertPrompt = "この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?";
constexpr COLORREF kGray = RGB(128, 128, 128);

void expect_title(Editor& editor, const std::string& expected) {
  std::string title;
  e2e::wait_until([&] { return (title = editor.title()) == expected; });
  EXPECT_EQ(title, expected);
}

// Waits for the box the editor shows, checks its caption and text, and answers it.
void answer(Editor& editor, const std::string& text, int button, const std::string& caption = "MURKEL Pro") {
  const e2e::Dialog box = editor.wait_dialog();
  EXPECT_EQ(box.caption + " " + box.text, caption + " " + text);
  Editor::press(box.hwnd, button);
  EXPECT_TRUE(e2e::wait_until([&] { return !IsWindow(box.hwnd); })) << "the box stayed open";
}

// Types a path into the Open or Save As dialog now open and presses OK, or cancels it ("").
void answer_file_dialog(Editor& editor, const std::string& path) {
  const HWND dialog = editor.wait_dialog().hwnd;
  std::vector<HWND> edits;
  if (!path.empty()) e2e::wait_until([&] { return !(edits = e2e::descendants(dialog, "Edit", true)).empty(); });
  if (!path.empty()) e2e::set_window_text(edits.at(0), path);
  Editor::press(dialog, path.empty() ? IDCANCEL : IDOK);
  EXPECT_TRUE(e2e::wait_until([&] { return !IsWindow(dialog); })) << "the file dialog stayed open";
}

TEST(DocumentE2e, OpenSelectApplyUndoSaveAndExit) {
  e2e::TempFolder folder;
  const std::string path = folder.file("my picture.bmp");  // a blank inside the quoted item
  const Image original = e2e::noise_picture(123, 61);        // odd width: rows carry padding
  e2e::write_file(path, e2e::bmp_file(original));
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  e2e::expect_shown(editor, original);

  // From client (25, 15) to past the picture: image (20, 10) to its last pixel, outlined in black on its border pixels.
  editor.drag({25, 15}, {300, 200}, "(20,10)-(122,60)");
  const Rect selection{20, 10, 123, 61};
  for (POINT p : {POINT{25, 15}, POINT{127, 15}, POINT{127, 65}, POINT{25, 65}, POINT{60, 65}})
    EXPECT_TRUE(e2e::wait_until([&] { return editor.pixel(p) == 0; }, 5000)) << "outline at " << p.x << "," << p.y;
  Image diffused = original;
  murkel::put_block(diffused, selection, murkel::diffusion(original.view(), selection));
  ASSERT_TRUE(editor.command_and_wait(2002));
  e2e::expect_shown(editor, diffused, selection);
  expect_title(editor, kModified + path + "]");
  ASSERT_TRUE(editor.command_and_wait(2005));  // Undo
  e2e::expect_shown(editor, original, selection);
  expect_title(editor, kTitle + path + "]");
  ASSERT_TRUE(editor.command_and_wait(2005));  // and again: the effect is back
  e2e::expect_shown(editor, diffused, selection);
  expect_title(editor, kModified + path + "]");

  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  expect_title(editor, kTitle + path + "]");
  EXPECT_TRUE(e2e::read_file(path) == e2e::bmp_file(diffused)) << "the saved file";
  // Save As with no extension typed: ".bmp" is added, and the document takes the name.
  editor.command(1003);
  answer_file_dialog(editor, folder.file("copy"));
  const std::string copy = folder.file("copy.bmp");
  expect_title(editor, kTitle + copy + "]");
  EXPECT_TRUE(e2e::read_file(copy) == e2e::bmp_file(diffused)) << "the file saved as";

  // Exit and closing ask while there are changes: Cancel, and Yes then a cancelled dialog or
  // a file that cannot be written, keep the editor running; No ends it without writing.
  ASSERT_TRUE(editor.command_and_wait(2004));  // fill
  expect_title(editor, kModified + copy + "]");
  editor.command(1005);
  answer(editor, kSavePrompt, IDCANCEL);
  for (const std::string target : {std::string(), folder.file("no such folder\\x.bmp")}) {
    editor.command(1005);
    answer(editor, kSavePrompt, IDYES);
    answer_file_dialog(editor, target);
    if (!target.empty())
      answer(editor, "画像を保存できません。元のファイルは変更されていません。\n\n" + target + "\n\n保存先のフォルダが見つかりません。", IDOK);
  }
  EXPECT_TRUE(editor.running());
  EXPECT_EQ(editor.title(), kModified + copy + "]");
  editor.close();
  answer(editor, kSavePrompt, IDNO);
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
  EXPECT_TRUE(e2e::read_file(copy) == e2e::bmp_file(diffused)) << "the file was written";
}

TEST(DocumentE2e, StartWithoutAPictureSaveAsOpenAndRefusals) {
  e2e::TempFolder folder;
  const std::string picture = folder.file("opened picture.bmp"), not_bitmap = folder.file("not a picture.bmp");
  const Image opened = e2e::noise_picture(40, 30);
  e2e::write_file(picture, e2e::bmp_file(opened));
  e2e::write_file(not_bitmap, "This is plain text, not a bitmap.\r\n");
  const Image empty{100, 100, std::vector<murkel::Colour>(10000, kGray)};
  {
    Editor editor(folder.path, folder.file("no such picture.bmp"));
    answer(editor, kCannotOpen, IDOK);
    EXPECT_EQ(editor.title(), "MURKEL_Pro");
    e2e::expect_shown(editor, empty);
  }
  Editor editor(folder.path);
  // Save without a file name goes through Save As; an empty picture's file is its two headers.
  editor.command(1002);
  answer_file_dialog(editor, folder.file("empty.bmp"));
  expect_title(editor, kTitle + folder.file("empty.bmp") + "]");
  EXPECT_EQ(e2e::read_file(folder.file("empty.bmp")).size(), 54u);

  // File > Open through the dialog; a file that is no bitmap is refused and
  // the document stays; a cancelled dialog changes nothing.
  editor.command(1001);
  answer_file_dialog(editor, picture);
  expect_title(editor, kTitle + picture + "]");
  e2e::expect_shown(editor, opened);
  editor.command(1001);
  answer_file_dialog(editor, not_bitmap);
  answer(editor, kCannotOpen, IDOK);
  editor.command(1001);
  answer_file_dialog(editor, "");
  EXPECT_EQ(editor.title(), kTitle + picture + "]");
  e2e::expect_shown(editor, opened);
  editor.close();
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
}

// Revert reloads the file as it is now at the same scroll position, asking
// while there are changes; a picture of another size gets new ranges with
// the offset clamped; a file gone is reported and the document stays.
TEST(DocumentE2e, ScrolledDragAndRevert) {
  e2e::TempFolder folder;
  const std::string path = folder.file("revert.bmp");
  const Image large = e2e::noise_picture(1000, 800), other = e2e::noise_picture(1000, 800, 7);
  e2e::write_file(path, e2e::bmp_file(large));
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  editor.scroll(true, SB_THUMBPOSITION, 30);
  editor.scroll(false, SB_THUMBPOSITION, 20);
  EXPECT_TRUE(e2e::wait_until([&] { return editor.pixel({5, 5}) == large.pixels[20 * 1000 + 30]; }));
  // Scrolled before the press: the field reads the corners less the press offset.
  editor.drag({15, 25}, {54, 74}, "(10,20)-(49,69)");
  ASSERT_TRUE(editor.command_and_wait(2004));  // fill
  expect_title(editor, kModified + path + "]");
  e2e::write_file(path, e2e::bmp_file(other));

  editor.command(1004);
  answer(editor, kRevertPrompt, IDNO);
  EXPECT_EQ(editor.title(), kModified + path + "]");
  editor.command(1004);
  answer(editor, kRevertPrompt, IDYES);
  expect_title(editor, kTitle + path + "]");
  EXPECT_TRUE(e2e::wait_until([&] { return editor.pixel({5, 5}) == other.pixels[20 * 1000 + 30]; }));
  EXPECT_TRUE(e2e::wait_until([&] { return editor.pixel({15, 50}) == 0; })) << "the outline is drawn again";

  // Another size, scrolling 7 and 4 pixels at most: no question, the offset clamped.
  RECT client{};
  GetClientRect(editor.canvas(), &client);
  const Image smaller = e2e::noise_picture(client.right - 3, client.bottom - 6);
  e2e::write_file(path, e2e::bmp_file(smaller));
  ASSERT_TRUE(editor.command_and_wait(1004)) << "Revert asked without changes";
  EXPECT_TRUE(e2e::wait_until([&] { return editor.pixel({5, 5}) == smaller.pixels[4 * smaller.width + 7]; }));
  editor.mouse(WM_MOUSEMOVE, {5, 5});
  EXPECT_EQ(editor.wait_status_text(0, "x:7,y:4"), "x:7,y:4");

  DeleteFileA(path.c_str());
  editor.command(1004);
  answer(editor, kCannotOpen, IDOK);
  EXPECT_EQ(editor.title(), kTitle + path + "]");
  EXPECT_EQ(editor.pixel({5, 5}), smaller.pixels[4 * smaller.width + 7]);
}

}  // namespace
