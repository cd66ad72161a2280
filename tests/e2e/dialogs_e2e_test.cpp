// End to end: the settings dialogs, the information dialog and the latest-version check against a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using e2e::escape;
using e2e::window_text;

constexpr WORD kMosaicSettings = 3000, kBlurSettings = 3001, kScrambleSettings = 3002, kInformation = 4002;

// A dialog's control as built: class, text, client rectangle, style.
struct Control {
  const char* class_name;
  std::string text;
  RECT rc;  // x, y, width, height
  DWORD style;
  DWORD ex_style = 0;
};
constexpr DWORD kStatic = 0x50000000, kField = 0x50002002, kDefault = 0x50000001, kPush = 0x50000000,
                kRadio = 0x50000009;

struct DialogLayout {
  WORD command;
  std::string title;
  SIZE client;
  std::vector<Control> controls;
};

const std::vector<DialogLayout>& layouts() {
  static const std::vector<DialogLayout> all = {
      {kMosaicSettings, "モザイクの設定", {170, 110},
       {{"Static", "モザイクの縦幅:", {10, 10, 120, 20}, kStatic},
        {"Static", "モザイクの横幅:", {10, 40, 120, 20}, kStatic},
        {"Edit", "10", {130, 8, 30, 24}, kField, WS_EX_CLIENTEDGE},
        {"Edit", "10", {130, 38, 30, 24}, kField, WS_EX_CLIENTEDGE},
        {"Button", "OK", {10, 70, 70, 30}, kDefault},
        {"Button", "Cancel", {90, 70, 70, 30}, kPush}}},
      {kBlurSettings, "ぼかしの設定", {190, 120},
       {{"Button", "レベル1(軽いぼかし)", {10, 10, 170, 20}, kRadio},
        {"Button", "レベル2(通常ぼかし)", {10, 30, 170, 20}, kRadio},
        {"Button", "レベル3(散乱ぼかし)", {10, 50, 170, 20}, kRadio},
        {"Button", "OK", {10, 80, 80, 30}, kDefault},
        {"Button", "Cancel", {100, 80, 80, 30}, kPush}}},
      {kScrambleSettings, "スクランブルの設定", {210, 80},
       {{"Static", "スクランブルレベル:", {10, 10, 160, 20}, kStatic},
        {"Edit", "32", {170, 8, 30, 24}, kField, WS_EX_CLIENTEDGE},
        {"Button", "OK", {10, 40, 90, 30}, kDefault},
        {"Button", "Cancel", {110, 40, 90, 30}, kPush}}},
      {kInformation, "バージョン情報", {250, 160},
       {{"Static", "正式ソフト名:MURKEL_Pro", {10, 10, 230, 20}, kStatic},
        {"Static", "バージョン　:1.2.0.0", {10, 40, 230, 20}, kStatic},
        {"Static", "完成日　　　:2004年1月22日", {10, 70, 230, 20}, kStatic},
        {"Static", "著作者　　　:Quorvel", {10, 100, 230, 20}, kStatic},
        {"Button", "最新バージョンのチェック", {10, 128, 230, 24}, kPush}}},
  };
  return all;
}

// Starts the dialog of `command` and returns its window, one not in `known`.
HWND open_dialog(Editor& editor, WORD command, const std::vector<HWND>& known = {}) {
  editor.command(command);
  HWND found = nullptr;
  e2e::wait_until([&] {
    for (HWND hwnd : editor.windows("SETTINGS")) {
      if (std::find(known.begin(), known.end(), hwnd) == known.end()) found = hwnd;
    }
    return found != nullptr;
  });
  if (!found) throw std::runtime_error("no new SETTINGS window after command " + std::to_string(command));
  return found;
}

// Every child of a dialog in creation order.
std::vector<HWND> controls_of(HWND dialog) {
  std::vector<HWND> all;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) all.push_back(child);
  return all;
}

bool closes(HWND hwnd) { return e2e::wait_until([&] { return !IsWindow(hwnd); }); }

void close_box(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

class DialogsE2e : public ::testing::Test {
 protected:
  e2e::TempFolder folder;
};

TEST_F(DialogsE2e, EachDialogIsBuiltAsLaidOut) {
  Editor editor(folder.path());
  editor.main_window();
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  for (const DialogLayout& layout : layouts()) {
    SCOPED_TRACE(layout.command);
    HWND dialog = open_dialog(editor, layout.command);
    EXPECT_EQ(window_text(dialog), layout.title);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
              WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    RECT outer{};
    GetWindowRect(dialog, &outer);
    EXPECT_EQ(outer.right - outer.left, layout.client.cx + 2 * frame);
    EXPECT_EQ(outer.bottom - outer.top, layout.client.cy + 2 * frame + GetSystemMetrics(SM_CYCAPTION));
    const std::vector<HWND> children = controls_of(dialog);
    ASSERT_EQ(children.size(), layout.controls.size());
    for (size_t i = 0; i < children.size(); ++i) {
      const Control& want = layout.controls[i];
      HWND child = children[i];
      SCOPED_TRACE(escape(want.text));
      EXPECT_EQ(e2e::class_name(child), want.class_name);
      EXPECT_EQ(window_text(child), want.text) << escape(window_text(child));
      RECT rc{};
      GetWindowRect(child, &rc);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
      EXPECT_EQ((std::vector<LONG>{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top}),
                (std::vector<LONG>{want.rc.left, want.rc.top, want.rc.right, want.rc.bottom}));
      // A radio button takes WS_TABSTOP of its own when it is checked.
      EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & ~WS_TABSTOP, want.style);
      EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, want.ex_style);
      EXPECT_EQ(GetDlgCtrlID(child), 0);
    }
    close_box(dialog);
    EXPECT_TRUE(closes(dialog));
  }
  EXPECT_TRUE(editor.running());
}

}  // namespace
