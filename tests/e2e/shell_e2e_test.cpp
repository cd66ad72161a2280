// End to end: the editor's frame without a picture, Help, closing, and a command-line picture that is missing.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using e2e::escape;

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

// "ヘルプファイルが見つかりません。" + LF LF + quoted file name + "が同じフォルダ内にあるか確認してください。"
const std::string kHelpNotFound =
    bytes({0x83, 0x77, 0x83, 0x8B, 0x83, 0x76, 0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, 0x82, 0xAA,
           0x8C, 0xA9, 0x82, 0xC2, 0x82, 0xA9, 0x82, 0xE8, 0x82, 0xDC, 0x82, 0xB9, 0x82, 0xF1, 0x81, 0x42}) +
    "\n\n\"MURKEL_PRO_HELP.HLP\"" +
    bytes({0x82, 0xAA, 0x93, 0xAF, 0x82, 0xB6, 0x83, 0x74, 0x83, 0x48, 0x83, 0x8B, 0x83, 0x5F, 0x93, 0xE0, 0x82,
           0xC9, 0x82, 0xA0, 0x82, 0xE9, 0x82, 0xA9, 0x8A, 0x6D, 0x94, 0x46, 0x82, 0xB5, 0x82, 0xC4, 0x82, 0xAD,
           0x82, 0xBE, 0x82, 0xB3, 0x82, 0xA2, 0x81, 0x42});

// "画像が開けません。"
const std::string kCannotOpen =
    bytes({0x89, 0xE6, 0x91, 0x9C, 0x82, 0xAA, 0x8A, 0x4A, 0x82, 0xAF, 0x82, 0xDC, 0x82, 0xB9, 0x82, 0xF1, 0x81, 0x42});

constexpr COLORREF kGray = RGB(128, 128, 128);

// Samples corners and middle of the canvas client area; all must show the gray background.
void expect_gray_canvas(Editor& editor) {
  const SIZE client = editor.canvas_client_size();
  ASSERT_GT(client.cx, 10);
  ASSERT_GT(client.cy, 10);
  const POINT samples[] = {{0, 0}, {4, 4}, {client.cx / 2, client.cy / 2}, {client.cx - 1, client.cy - 1}};
  // The first paint may still be on its way.
  e2e::wait_until([&] { return editor.canvas_pixel(samples[2]) == kGray; });
  for (POINT p : samples) {
    EXPECT_EQ(editor.canvas_pixel(p), kGray) << "canvas client point (" << p.x << "," << p.y << ")";
  }
}

// The message box answered with OK goes away and the editor goes on.
void answer_ok(Editor& editor, HWND box) {
  Editor::press_button(box, IDOK);
  EXPECT_TRUE(e2e::wait_until([&] { return !IsWindow(box); })) << "the message box did not close";
  EXPECT_TRUE(editor.running());
}

TEST(ShellE2e, StartsWithoutAPictureWithTitleStatusFieldsAndGrayCanvas) {
  e2e::TempFolder folder;
  Editor editor(folder.path());
  HWND main = editor.main_window();
  EXPECT_EQ(editor.title(), "MURKEL_Pro");

  // Three status fields: 100, 300 and the client width plus two dialog frames.
  RECT client{};
  GetClientRect(main, &client);
  const std::vector<int> parts = editor.status_parts();
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], 100);
  EXPECT_EQ(parts[1], 300);
  EXPECT_EQ(parts[2], client.right + 2 * GetSystemMetrics(SM_CXDLGFRAME));

  // The canvas sits at the client origin, one pixel wider than the client
  // area, and reaches down to the status bar.
  const RECT on_screen = editor.main_client_rect_on_screen();
  RECT canvas{};
  GetWindowRect(editor.canvas(), &canvas);
  RECT status{};
  GetClientRect(editor.status_bar(), &status);
  EXPECT_EQ(canvas.left, on_screen.left);
  EXPECT_EQ(canvas.top, on_screen.top);
  EXPECT_EQ(canvas.right - canvas.left, client.right + 1);
  EXPECT_EQ(canvas.bottom - canvas.top, client.bottom + 1 - (status.bottom - status.top + 1));
  RECT status_on_screen{};
  GetWindowRect(editor.status_bar(), &status_on_screen);
  EXPECT_EQ(status_on_screen.bottom, on_screen.bottom) << "the status bar lies at the bottom of the frame";

  expect_gray_canvas(editor);
}

TEST(ShellE2e, HelpWithoutTheHelpFileTellsWhereToPutIt) {
  e2e::TempFolder folder;
  Editor editor(folder.path());
  editor.main_window();
  editor.command(4001);
  const e2e::DialogInfo box = editor.wait_dialog();
  EXPECT_EQ(box.caption, "MURKEL_Pro");
  EXPECT_EQ(box.text, kHelpNotFound) << "read: " << escape(box.text);
  answer_ok(editor, box.hwnd);
  EXPECT_EQ(editor.title(), "MURKEL_Pro");
}

TEST(ShellE2e, HelpWithTheHelpFilePresentShowsNoBoxOfTheEditor) {
  e2e::TempFolder folder;
  e2e::write_file(folder.file("MURKEL_PRO_HELP.HLP"), "help");
  Editor editor(folder.path());
  editor.main_window();
  // The command returns only after the shell call; a box of the editor would keep it from returning.
  EXPECT_TRUE(editor.command_and_wait(4001)) << "Help did not return: a box of the editor is open";
  EXPECT_FALSE(e2e::wait_until([&] { return !editor.dialogs().empty(); }, 3000))
      << "the editor showed: " << escape(Editor::read_dialog(editor.dialogs().front()).text);
  EXPECT_TRUE(editor.running());
}

TEST(ShellE2e, ClosingTheFrameAndFileExitEndTheProcessWithCodeZero) {
  e2e::TempFolder folder;
  {
    Editor editor(folder.path());
    editor.main_window();
    editor.close();
    const std::optional<DWORD> code = editor.wait_exit();
    ASSERT_TRUE(code.has_value()) << "WM_CLOSE did not end the editor";
    EXPECT_EQ(*code, 0u);
  }
  {
    Editor editor(folder.path());
    editor.main_window();
    editor.command(1005);
    const std::optional<DWORD> code = editor.wait_exit();
    ASSERT_TRUE(code.has_value()) << "File > Exit did not end the editor";
    EXPECT_EQ(*code, 0u);
  }
}

TEST(ShellE2e, MissingCommandLinePictureIsReportedAndTheCanvasStaysEmpty) {
  e2e::TempFolder folder;
  Editor editor(folder.path(), folder.file("no such picture.bmp"));
  const e2e::DialogInfo box = editor.wait_dialog();
  EXPECT_EQ(box.caption, "MURKEL Pro");
  EXPECT_EQ(box.text, kCannotOpen) << "read: " << escape(box.text);
  EXPECT_EQ(e2e::message_box_icon(box.hwnd), IDI_WARNING) << "the box must carry the warning icon";
  answer_ok(editor, box.hwnd);

  editor.main_window();
  EXPECT_EQ(editor.title(), "MURKEL_Pro");
  expect_gray_canvas(editor);
}

}  // namespace
