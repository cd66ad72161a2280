// End to end: the settings dialogs, the information dialog and the latest-version check against a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "effects/effects.h"

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

// Every child of a dialog in creation order.
std::vector<HWND> controls_of(HWND dialog) {
  std::vector<HWND> all;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) all.push_back(child);
  return all;
}

// Starts the dialog of `command` and returns its new window.
HWND open_dialog(Editor& editor, WORD command) {
  const std::vector<HWND> before = editor.windows("SETTINGS");
  editor.command(command);
  HWND found = nullptr;
  e2e::wait_until([&] {
    for (HWND hwnd : editor.windows("SETTINGS")) {
      if (std::find(before.begin(), before.end(), hwnd) == before.end()) found = hwnd;
    }
    return found != nullptr;
  });
  if (!found) throw std::runtime_error("no new SETTINGS window after command " + std::to_string(command));
  // A visible dialog may be shown before its last control is made.
  const auto layout = std::find_if(layouts().begin(), layouts().end(), [&](auto& l) { return l.command == command; });
  e2e::wait_until([&] { return controls_of(found).size() >= layout->controls.size(); });
  return found;
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

// The settings as the next opening of each dialog shows them: the mosaic
// fields, the blur buttons' check states, the scramble field.
struct Shown {
  std::string mosaic_height, mosaic_width;
  std::vector<LRESULT> blur_checks;
  std::string scramble;
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  out << s.mosaic_height << "/" << s.mosaic_width << " blur";
  for (LRESULT c : s.blur_checks) out << " " << c;
  return out << " scramble " << s.scramble;
}

HWND nth_child(HWND dialog, size_t i) { return controls_of(dialog).at(i); }

Shown shown_settings(Editor& editor) {
  Shown shown;
  HWND mosaic = open_dialog(editor, kMosaicSettings);
  shown.mosaic_height = window_text(nth_child(mosaic, 2));
  shown.mosaic_width = window_text(nth_child(mosaic, 3));
  close_box(mosaic);
  HWND blur = open_dialog(editor, kBlurSettings);
  // The check follows the showing of the window.
  e2e::wait_until([&] {
    shown.blur_checks.clear();
    for (size_t i = 0; i < 3; ++i) shown.blur_checks.push_back(SendMessageA(nth_child(blur, i), BM_GETCHECK, 0, 0));
    return std::count(shown.blur_checks.begin(), shown.blur_checks.end(), 1) > 0;
  }, 1000);
  close_box(blur);
  HWND scramble = open_dialog(editor, kScrambleSettings);
  shown.scramble = window_text(nth_child(scramble, 1));
  close_box(scramble);
  for (HWND hwnd : {mosaic, blur, scramble}) EXPECT_TRUE(closes(hwnd));
  return shown;
}

TEST_F(DialogsE2e, OkStoresWhatTheFieldsHoldAndCancelOrTheCloseBoxStoreNothing) {
  Editor editor(folder.path());
  editor.main_window();
  EXPECT_EQ(shown_settings(editor), (Shown{"10", "10", {0, 1, 0}, "32"})) << "start values";

  // OK reads at most 3 characters of a mosaic field and 4 of the scramble
  // field; an empty field gives 0. Blur level: the checked button's number.
  HWND mosaic = open_dialog(editor, kMosaicSettings);
  e2e::set_window_text(nth_child(mosaic, 2), "1234");
  e2e::set_window_text(nth_child(mosaic, 3), "");
  e2e::click(nth_child(mosaic, 4));
  HWND blur = open_dialog(editor, kBlurSettings);
  e2e::click(nth_child(blur, 2));
  e2e::click(nth_child(blur, 3));
  HWND scramble = open_dialog(editor, kScrambleSettings);
  e2e::set_window_text(nth_child(scramble, 1), "12345");
  e2e::click(nth_child(scramble, 2));
  for (HWND hwnd : {mosaic, blur, scramble}) EXPECT_TRUE(closes(hwnd)) << "OK closes its window";
  const Shown stored{"123", "0", {0, 0, 1}, "1234"};
  EXPECT_EQ(shown_settings(editor), stored);

  // Edited, then closed by Cancel or by the close box: nothing changes.
  for (bool by_cancel : {true, false}) {
    mosaic = open_dialog(editor, kMosaicSettings);
    e2e::set_window_text(nth_child(mosaic, 2), "7");
    blur = open_dialog(editor, kBlurSettings);
    e2e::click(nth_child(blur, 0));
    scramble = open_dialog(editor, kScrambleSettings);
    e2e::set_window_text(nth_child(scramble, 1), "7");
    if (by_cancel) {
      for (auto [dialog, cancel] : {std::pair{mosaic, 5}, {blur, 4}, {scramble, 3}}) e2e::click(nth_child(dialog, cancel));
    } else {
      for (HWND hwnd : {mosaic, blur, scramble}) close_box(hwnd);
    }
    for (HWND hwnd : {mosaic, blur, scramble}) EXPECT_TRUE(closes(hwnd));
    EXPECT_EQ(shown_settings(editor), stored) << (by_cancel ? "Cancel" : "close box");
  }

  // None checked gives level 0.
  blur = open_dialog(editor, kBlurSettings);
  for (size_t i = 0; i < 3; ++i) SendMessageA(nth_child(blur, i), BM_SETCHECK, BST_UNCHECKED, 0);
  e2e::click(nth_child(blur, 3));
  EXPECT_TRUE(closes(blur));
  EXPECT_EQ(shown_settings(editor).blur_checks, (std::vector<LRESULT>{0, 0, 0}));
}

TEST_F(DialogsE2e, TwoWindowsOfOneKindEachActOnTheirOwnFields) {
  Editor editor(folder.path());
  editor.main_window();
  HWND first = open_dialog(editor, kMosaicSettings);
  HWND second = open_dialog(editor, kMosaicSettings);
  e2e::set_window_text(nth_child(first, 2), "5");
  e2e::set_window_text(nth_child(first, 3), "6");
  e2e::set_window_text(nth_child(second, 2), "7");
  e2e::set_window_text(nth_child(second, 3), "8");
  e2e::click(nth_child(first, 4));
  EXPECT_TRUE(closes(first)) << "the first window's OK closes it";
  EXPECT_TRUE(IsWindow(second));
  e2e::click(nth_child(second, 5));
  EXPECT_TRUE(closes(second)) << "the second window's Cancel closes it";
  const Shown shown = shown_settings(editor);
  EXPECT_EQ(shown.mosaic_height + "x" + shown.mosaic_width, "5x6");
}

// --- The settings in the effects

COLORREF noise(int x, int y) {
  std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u);
  return (h * 2654435761u >> 8) & 0xFFFFFF;
}

TEST_F(DialogsE2e, TheStoredSettingsChangeTheNextEffect) {
  constexpr int kWidth = 60, kHeight = 40;
  murkel::Image original{kWidth, kHeight, std::vector<murkel::Colour>(kWidth * kHeight)};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) original.pixels[y * kWidth + x] = noise(x, y);
  const std::string path = folder.file("noise.bmp");
  e2e::write_bmp24(path, kWidth, kHeight, noise);
  Editor editor(folder.path(), path);
  editor.main_window();
  e2e::wait_until([&] { return editor.canvas_pixel({5, 5}) == noise(0, 0); });
  // Client (10, 8) to (50, 35) selects image (5, 3) to (45, 30).
  editor.mouse_press({10, 8});
  editor.mouse_move({50, 35});
  ASSERT_EQ(editor.wait_status_text(1, "(5,3)-(45,30)"), "(5,3)-(45,30)");
  editor.mouse_release({50, 35});
  const murkel::Rect selection{5, 3, 46, 31};

  HWND mosaic = open_dialog(editor, kMosaicSettings);
  e2e::set_window_text(nth_child(mosaic, 2), "3");
  e2e::set_window_text(nth_child(mosaic, 3), "4");
  e2e::click(nth_child(mosaic, 4));
  HWND blur = open_dialog(editor, kBlurSettings);
  e2e::click(nth_child(blur, 0));
  e2e::click(nth_child(blur, 3));
  HWND scramble = open_dialog(editor, kScrambleSettings);
  e2e::set_window_text(nth_child(scramble, 1), "0");
  e2e::click(nth_child(scramble, 2));
  for (HWND hwnd : {mosaic, blur, scramble}) ASSERT_TRUE(closes(hwnd));

  // Cells 4 wide and 3 high, blur level 1, and no row shift at level 0.
  const struct { WORD command; std::vector<murkel::Colour> block; } cases[] = {
      {2000, murkel::mosaic(original.view(), selection, 4, 3)},
      {2001, murkel::blur(original.view(), selection, 1)},
      {2003, std::vector<murkel::Colour>()},
  };
  for (const auto& c : cases) {
    murkel::Image expected = original;
    murkel::put_block(expected, selection, c.block);
    ASSERT_TRUE(editor.command_and_wait(c.command));
    // The selection's outline is drawn over its border pixels: compare inside it.
    const RECT inner{5 + selection.left + 1, 5 + selection.top + 1, 5 + selection.right - 1, 5 + selection.bottom - 1};
    std::vector<COLORREF> want;
    for (LONG y = inner.top - 5; y < inner.bottom - 5; ++y)
      for (LONG x = inner.left - 5; x < inner.right - 5; ++x) want.push_back(expected.pixels[y * kWidth + x]);
    std::vector<COLORREF> shown;
    e2e::wait_until([&] { return (shown = editor.canvas_pixels(inner).pixels) == want; }, 5000);
    EXPECT_EQ(shown, want) << "effect command " << c.command;
    ASSERT_TRUE(editor.command_and_wait(2005));  // Undo
  }
}

// --- The latest-version check

// The exact block the server must receive: the request text, then zeros.
std::string version_request(const std::string& host) {
  std::string block = "GET /softs/version.txt HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
  block.resize(1024, '\0');
  return block;
}

// What the script standing in for the web browser was asked to open, one line each.
std::string opened_addresses() {
  std::string path = std::string("Z:") + MURKEL_URL_RECORDER + ".log";
  std::replace(path.begin(), path.end(), '/', '\\');
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// The editor asks the version file of `host`; Wine's shell opens web
// addresses with the browser its WineBrowser setting names: the recorder.
class VersionCheckE2e : public DialogsE2e {
 protected:
  void start(const char* host) {
    SetEnvironmentVariableA("MURKEL_UPDATE_HOST", host);
    std::string log = std::string("Z:") + MURKEL_URL_RECORDER + ".log";
    std::replace(log.begin(), log.end(), '/', '\\');
    DeleteFileA(log.c_str());
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(MURKEL_URL_RECORDER),
                   sizeof(MURKEL_URL_RECORDER));
    RegCloseKey(key);
    editor.emplace(folder.path());
    editor->main_window();
    information = open_dialog(*editor, kInformation);
  }
  void TearDown() override {
    editor.reset();
    SetEnvironmentVariableA("MURKEL_UPDATE_HOST", nullptr);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers");
  }
  // Clicks the check button and reads the message box that follows.
  e2e::DialogInfo check() {
    e2e::click(nth_child(information, 4));
    return editor->wait_dialog();
  }
  void answer(const e2e::DialogInfo& box, int button) {
    Editor::press_button(box.hwnd, button);
    EXPECT_TRUE(closes(box.hwnd));
  }
  std::optional<Editor> editor;
  HWND information = nullptr;
};

constexpr char kCaption[] = "最新バージョンのチェック";
constexpr char kCannotConnect[] = "接続できません。";

TEST_F(VersionCheckE2e, VerdictsOfTheServersVersionFileAndTheDownloadPage) {
  e2e::LoopbackHttpServer server;
  start("127.0.0.1");
  const std::vector<int> ok{IDOK}, yes_no{IDYES, IDNO};
  const struct { std::optional<std::string> file; const char* caption; std::string text; std::vector<int> buttons; int answer; } cases[] = {
      {"MURKEL_Pro:1200\r\n", kCaption, "このソフトは最新バージョンです。", ok, IDOK},
      {"MURKEL_Pro:1300\r\n", kCaption,
       "このソフトは最新バージョンではありません。現在の最新バージョンは1.3.0.0です。最新バージョンにアップデートしますか。",
       yes_no, IDNO},
      {"MURKEL_Pro:1300\r\n", kCaption,
       "このソフトは最新バージョンではありません。現在の最新バージョンは1.3.0.0です。最新バージョンにアップデートしますか。",
       yes_no, IDYES},
      {"MURKEL_Pro:1100\r\n", kCaption,
       "このソフトは現在公式リリースされていません。現在の公式バージョンは1.1.0.0です。", ok, IDOK},
      {"version 1.3.0.0\r\n", "", "サーバーの応答に最新バージョンの情報がありませんでした。", ok, IDOK},
      {std::nullopt, "", "サーバーから応答がありませんでした。", ok, IDOK},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(escape(c.file.value_or("(no reply)")));
    server.set_version_file(c.file);
    const e2e::DialogInfo box = check();
    EXPECT_EQ(box.caption, c.caption) << escape(box.caption);
    EXPECT_EQ(box.text, c.text) << escape(box.text);
    EXPECT_EQ(e2e::visible_button_ids(box.hwnd), c.buttons);
    answer(box, c.answer);
    ASSERT_EQ(server.requests().size(), i + 1);
    EXPECT_EQ(server.requests().back(), version_request("127.0.0.1")) << escape(server.requests().back());
  }
  // Only Yes opened the download page, once.
  e2e::wait_until([] { return !opened_addresses().empty(); });
  Sleep(500);
  EXPECT_EQ(opened_addresses(), "http://127.0.0.1/softs/index.html#MURKEL_Pro\n");
}

TEST_F(VersionCheckE2e, RefusedConnectionIsToldAndTheDialogStaysUsable) {
  start("127.0.0.1");
  const e2e::DialogInfo refused = check();
  EXPECT_EQ(refused.caption, "");
  EXPECT_EQ(refused.text, kCannotConnect) << escape(refused.text);
  answer(refused, IDOK);

  e2e::LoopbackHttpServer server;
  server.set_version_file("MURKEL_Pro:1200");
  const e2e::DialogInfo verdict = check();
  EXPECT_EQ(verdict.caption, kCaption);
  answer(verdict, IDOK);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(VersionCheckE2e, HostNotFoundIsToldWithoutConnectingAnywhere) {
  e2e::LoopbackHttpServer server;  // where a connection to a zero address would land
  server.set_version_file("MURKEL_Pro:1200");
  start("no-such-host.invalid");
  const e2e::DialogInfo box = check();
  EXPECT_EQ(box.caption, "");
  EXPECT_EQ(box.text, kCannotConnect) << escape(box.text);
  answer(box, IDOK);
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(editor->running());
}

}  // namespace
