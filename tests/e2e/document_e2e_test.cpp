// End to end, the document flows on the real editor: open, select, apply,
// undo, save and exit; start without a picture and File > Open; a
// scrolled drag and Revert; a picture pasted, worked and copied with the
// keys; a drag and a fill at the fit zoom; a selection moved and sized by
// the keys, an effect by its key, a crop and a step back. Judged by titles, boxes, the
// screen, the status fields, files and the clipboard.
#include <gtest/gtest.h>

#include <string>

#include "core/bmp_test_files.h"
#include "core/canvas/zoom.h"
#include "core/codecs/packed_dib.h"

#include "e2e/driver.h"
#include "small_disk.h"

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
  editor.answer_file_dialog(folder.file("copy"));
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
    editor.answer_file_dialog(target);
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
  editor.answer_file_dialog(folder.file("empty.bmp"));
  expect_title(editor, kTitle + folder.file("empty.bmp") + "]");
  EXPECT_EQ(e2e::read_file(folder.file("empty.bmp")).size(), 54u);

  // File > Open through the dialog; a file that is no bitmap is refused and
  // the document stays; a cancelled dialog changes nothing.
  editor.command(1001);
  editor.answer_file_dialog(picture);
  expect_title(editor, kTitle + picture + "]");
  e2e::expect_shown(editor, opened);
  editor.command(1001);
  editor.answer_file_dialog(not_bitmap);
  answer(editor, kCannotOpen, IDOK);
  editor.command(1001);
  editor.answer_file_dialog("");
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

// The driver's clipboard: a picture put there as a packed bitmap, and the packed bitmap the editor put there.
void put_on_clipboard(const Image& picture) {
  const std::vector<std::uint8_t> dib = murkel::encode_packed_dib24(picture).bytes;
  ASSERT_TRUE(e2e::wait_until([] { return OpenClipboard(nullptr) != 0; }));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  std::copy(dib.begin(), dib.end(), static_cast<std::uint8_t*>(GlobalLock(block)));
  GlobalUnlock(block);
  SetClipboardData(CF_DIB, block);
  CloseClipboard();
}

std::string copied_by(Editor& editor) {
  std::string bytes;
  e2e::wait_until([&] {
    if (GetClipboardOwner() != editor.main_window() || !OpenClipboard(nullptr)) return false;
    if (HANDLE block = GetClipboardData(CF_DIB)) {
      bytes.assign(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
      GlobalUnlock(block);
    }
    CloseClipboard();
    return !bytes.empty();
  });
  return bytes;
}

// The 24-bit packed bitmap of a picture's block.
std::string packed_block(const Image& picture, const Rect& r) {
  Image block{r.right - r.left, r.bottom - r.top, {}};
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) block.pixels.push_back(picture.pixels[y * picture.width + x]);
  return e2e::bmp_file(block).substr(14);
}

// Ctrl+V pastes the driver's picture as an untitled document; after an effect Ctrl+Z undoes and
// redoes, Ctrl+C copies the selection, Ctrl+S asks for a name; once saved, Ctrl+Z (Undo grayed) does
// nothing, which the copy after it shows; Ctrl+Shift+S and Ctrl+O open their dialogs.
TEST(DocumentE2e, PasteWorkCopyAndSaveWithTheKeys) {
  e2e::TempFolder folder;
  const Image pasted = e2e::noise_picture(97, 45, 3);
  Editor editor(folder.path);
  editor.command(1004);  // with no picture at all, Revert has nothing to load
  answer(editor, kCannotOpen, IDOK);
  put_on_clipboard(pasted);
  editor.keys({VK_CONTROL, 'V'});
  expect_title(editor, kModified + "無題]");
  e2e::expect_shown(editor, pasted);

  editor.drag({15, 12}, {64, 41}, "(10,7)-(59,36)");
  const Rect selection{10, 7, 60, 37};
  Image diffused = pasted;
  murkel::put_block(diffused, selection, murkel::diffusion(pasted.view(), selection));
  ASSERT_TRUE(editor.command_and_wait(2002));
  e2e::expect_shown(editor, diffused, selection);
  editor.keys({VK_CONTROL, 'Z'});
  e2e::expect_shown(editor, pasted, selection);
  editor.keys({VK_CONTROL, 'Z'});
  e2e::expect_shown(editor, diffused, selection);
  editor.keys({VK_CONTROL, 'C'});
  const std::string copy = packed_block(diffused, selection);
  EXPECT_TRUE(copied_by(editor).substr(0, copy.size()) == copy) << "the copy";

  editor.keys({VK_CONTROL, 'S'});
  const std::string saved = folder.file("pasted.bmp");
  editor.answer_file_dialog(saved);
  expect_title(editor, kTitle + saved + "]");
  EXPECT_TRUE(e2e::read_file(saved) == e2e::bmp_file(diffused)) << "the saved file";
  put_on_clipboard(pasted);
  editor.keys({VK_CONTROL, 'Z'});
  editor.keys({VK_CONTROL, 'C'});
  EXPECT_TRUE(copied_by(editor).substr(0, copy.size()) == copy) << "Undo acted";
  for (const WORD key : {WORD{'S'}, WORD{'O'}}) {
    key == 'S' ? editor.keys({VK_CONTROL, VK_SHIFT, 'S'}) : editor.keys({VK_CONTROL, 'O'});
    editor.answer_file_dialog("");
  }
  editor.close();
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
}

// Ctrl+0 fits a picture larger than the window: a drag there selects the picture pixels under it
// (within a pixel of the plain scale), and a fill and Save put them into the file exactly there.
TEST(DocumentE2e, FitWithTheKeysThenDragFillAndSave) {
  e2e::TempFolder folder;
  const std::string path = folder.file("large.bmp");
  const Image large = e2e::noise_picture(1700, 1300);
  e2e::write_file(path, e2e::bmp_file(large));
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  EXPECT_EQ(editor.wait_status_text(2, "100%"), "100%");
  RECT client{};
  GetClientRect(editor.canvas(), &client);
  const murkel::Zoom fit = murkel::fit_zoom({1700, 1300}, {client.right, client.bottom});
  editor.keys({VK_CONTROL, '0'});
  ASSERT_EQ(editor.wait_status_text(2, murkel::zoom_text(fit)), murkel::zoom_text(fit));
  const murkel::Point from{40, 30}, to{200, 150};
  const Rect selection = murkel::selection_from_drag(from, to, {0, 0}, fit, {1700, 1300});
  const double scale = double(fit.num) / fit.den;
  EXPECT_NEAR(selection.left, (from.x - 5) / scale, 1.0);
  EXPECT_NEAR(selection.bottom, (to.y - 4) / scale, 1.0);
  editor.drag({from.x, from.y}, {to.x, to.y}, murkel::selection_text(from, to, {0, 0}, {0, 0}, fit, {1700, 1300}));
  ASSERT_TRUE(editor.command_and_wait(2004));  // fill
  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  Image filled = large;
  murkel::put_block(filled, selection, murkel::fill(selection, 0));
  EXPECT_TRUE(e2e::read_file(path) == e2e::bmp_file(filled)) << "the saved file";
  editor.keys({VK_CONTROL, '1'});
  EXPECT_EQ(editor.wait_status_text(2, "100%"), "100%");
  editor.close();
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
}

// The editing keys as a person types them: the arrows move and size a dragged selection, M covers
// it with mosaic, Ctrl+Shift+X crops to it, Ctrl+Alt+Z steps back to before the crop, and Ctrl+S
// saves the whole picture with the mosaic.
TEST(DocumentE2e, KeysMoveAndSizeTheSelectionCoverCropStepBackAndSave) {
  e2e::TempFolder folder;
  const std::string path = folder.file("edit.bmp");
  const Image picture = e2e::noise_picture(160, 120, 5);
  e2e::write_file(path, e2e::bmp_file(picture));
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  editor.drag({15, 25}, {54, 74}, "(10,20)-(49,69)");
  editor.keys({VK_RIGHT});
  editor.keys({VK_SHIFT, VK_DOWN});
  editor.keys({VK_CONTROL, VK_SHIFT, VK_RIGHT});
  EXPECT_EQ(editor.wait_status_text(1, "(11,30)-(60,79)"), "(11,30)-(60,79)");
  const Rect selection{11, 30, 61, 80};
  Image covered = picture;
  murkel::put_block(covered, selection, murkel::mosaic(picture.view(), selection, 10, 10));
  editor.keys({'M'});
  expect_title(editor, kModified + path + "]");
  e2e::expect_shown(editor, covered, selection);
  editor.keys({VK_CONTROL, VK_SHIFT, 'X'});
  Image part{50, 50, {}};
  for (int y = selection.top; y < selection.bottom; ++y)
    for (int x = selection.left; x < selection.right; ++x) part.pixels.push_back(covered.pixels[y * 160 + x]);
  e2e::expect_shown(editor, part);
  editor.keys({VK_CONTROL, VK_MENU, 'Z'});
  e2e::expect_shown(editor, covered);
  editor.keys({VK_CONTROL, 'S'});
  expect_title(editor, kTitle + path + "]");
  EXPECT_TRUE(e2e::read_file(path) == e2e::bmp_file(covered)) << "the saved file";
  editor.close();
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
}

// On a disk with too little room left, Save, Save As and Exit's Save As of a
// 24-bit and of a palette picture fail while they write: each is told, the old
// file stays byte for byte, the document unsaved and the editor running, and
// no temporary file is left.
TEST(DocumentE2e, SmallDiskSavesThatFailKeepEverything) {
  const std::string disk = small_disk::folder();
  ASSERT_NE(disk, "") << "runs under tests/small_disk.sh";
  bmp_test::FileLayout palette{40, 300, 200, 8, 0, bmp_test::test_palette(256)};
  palette.pixel_data.assign(300 * 200, 0);
  for (std::size_t i = 0; i < palette.pixel_data.size(); ++i) palette.pixel_data[i] = std::uint8_t(i * 7);
  const murkel::Image noise = e2e::noise_picture(300, 200);
  const bmp_test::Bytes palette_bytes = bmp_test::build_file(palette);
  const std::string cannot = "画像を保存できません。元のファイルは変更されていません。\n\n";
  const std::string full = "\n\nディスクの空き容量が足りません。";
  for (const std::string& file : {e2e::bmp_file(noise), std::string(palette_bytes.begin(), palette_bytes.end())}) {
    const std::string path = disk + "\\picture.bmp", other = disk + "\\other.bmp";
    e2e::write_file(path, file);
    Editor editor(disk, path);
    expect_title(editor, kTitle + path + "]");
    editor.drag({10, 10}, {40, 30}, "(5,5)-(35,25)");
    ASSERT_TRUE(editor.command_and_wait(2004));  // fill
    expect_title(editor, kModified + path + "]");
    ASSERT_TRUE(small_disk::leave_room(disk + "\\filler", 60 * 1024));  // a third of the new file
    editor.command(1002);
    answer(editor, cannot + path + full, IDOK);
    editor.command(1003);
    editor.answer_file_dialog(other);
    answer(editor, cannot + other + full, IDOK);
    editor.command(1005);
    answer(editor, kSavePrompt, IDYES);
    editor.answer_file_dialog(other);
    answer(editor, cannot + other + full, IDOK);
    EXPECT_TRUE(editor.running());
    EXPECT_EQ(editor.title(), kModified + path + "]");
    EXPECT_TRUE(e2e::read_file(path) == file) << "the old file";
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    for (HANDLE h = FindFirstFileA((disk + "\\*").c_str(), &found); h != INVALID_HANDLE_VALUE;)
      if (names.push_back(found.cFileName), !FindNextFileA(h, &found)) FindClose(h), h = INVALID_HANDLE_VALUE;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", ".busy", "busy.bmp", "filler", "picture.bmp"}));
    editor.close();
    answer(editor, kSavePrompt, IDNO);
    EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
    DeleteFileA((disk + "\\filler").c_str());
  }
}

}  // namespace
