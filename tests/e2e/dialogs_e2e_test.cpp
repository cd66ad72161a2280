// End to end: the settings dialogs and the fill colour chooser change the
// next effects; the information dialog and the latest-version check against
// a loopback server, with a script standing in for the web browser.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace {

using e2e::Editor;
using e2e::window_text;

constexpr WORD kMosaicSettings = 3000, kBlurSettings = 3001, kScrambleSettings = 3002, kInformation = 4002;

HWND nth_child(HWND dialog, size_t i) { return e2e::descendants(dialog).at(i); }
bool closes(HWND hwnd) { return e2e::wait_until([&] { return !IsWindow(hwnd); }); }
void close_box(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Opens the dialog of `command` (a new SETTINGS window once its controls are
// made) and works its controls by index: a text is typed into the field,
// nullptr clicks the button.
HWND work_dialog(Editor& editor, WORD command, std::vector<std::pair<size_t, const char*>> steps = {}) {
  const size_t controls = command == kMosaicSettings ? 6 : command == kScrambleSettings ? 4 : 5;
  const std::vector<HWND> before = editor.windows("SETTINGS");
  editor.command(command);
  HWND dialog = nullptr;
  e2e::wait_until([&] {
    for (HWND hwnd : editor.windows("SETTINGS"))
      if (std::find(before.begin(), before.end(), hwnd) == before.end()) dialog = hwnd;
    return dialog && e2e::descendants(dialog).size() >= controls;
  });
  if (!dialog) throw std::runtime_error("no new SETTINGS window after command " + std::to_string(command));
  for (auto [i, text] : steps) text ? e2e::set_window_text(nth_child(dialog, i), text) : e2e::click(nth_child(dialog, i));
  return dialog;
}

// The settings as the next openings show them: "height width | blur buttons' checks | scramble".
std::string shown_settings(Editor& editor) {
  HWND mosaic = work_dialog(editor, kMosaicSettings), blur = work_dialog(editor, kBlurSettings),
       scramble = work_dialog(editor, kScrambleSettings);
  // The blur dialog checks its button after showing its window, on its own
  // thread: read the checks once that thread has come to its message loop,
  // where it answers a message sent to the shown window.
  EXPECT_TRUE(e2e::wait_until([&] {
    DWORD_PTR result = 0;
    return IsWindowVisible(blur) && SendMessageTimeoutA(blur, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
  })) << "the blur dialog does not answer";
  std::string checks;
  for (size_t i = 0; i < 3; ++i) checks += std::to_string(SendMessageA(nth_child(blur, i), BM_GETCHECK, 0, 0));
  const std::string shown = window_text(nth_child(mosaic, 2)) + " " + window_text(nth_child(mosaic, 3)) + " | " +
                            checks + " | " + window_text(nth_child(scramble, 1));
  for (HWND hwnd : {mosaic, blur, scramble}) close_box(hwnd);
  for (HWND hwnd : {mosaic, blur, scramble}) EXPECT_TRUE(closes(hwnd));
  return shown;
}

TEST(DialogsE2e, SettingsAndTheFillColourChangeTheNextEffects) {
  e2e::TempFolder folder;
  const murkel::Image original = e2e::noise_picture(60, 40);
  const std::string path = folder.file("noise.bmp");
  e2e::write_file(path, e2e::bmp_file(original));
  Editor editor(folder.path, path);
  EXPECT_EQ(shown_settings(editor), "10 10 | 010 | 32") << "start values";

  // OK takes at most 3 characters of a mosaic field and 4 of the scramble
  // field, an empty field as 0, and the checked blur button's number.
  for (HWND hwnd : {work_dialog(editor, kMosaicSettings, {{2, "1234"}, {3, ""}, {4, nullptr}}),
                    work_dialog(editor, kBlurSettings, {{2, nullptr}, {3, nullptr}}),
                    work_dialog(editor, kScrambleSettings, {{1, "12345"}, {2, nullptr}})})
    EXPECT_TRUE(closes(hwnd)) << "OK closes its window";
  EXPECT_EQ(shown_settings(editor), "123 0 | 001 | 1234");
  // Cancel or the close box store nothing.
  for (bool by_cancel : {true, false}) {
    const std::pair<HWND, size_t> edited[] = {{work_dialog(editor, kMosaicSettings, {{2, "7"}}), 5},
                                              {work_dialog(editor, kBlurSettings, {{0, nullptr}}), 4},
                                              {work_dialog(editor, kScrambleSettings, {{1, "7"}}), 3}};
    for (auto [dialog, cancel] : edited) by_cancel ? e2e::click(nth_child(dialog, cancel)) : close_box(dialog);
    for (auto [dialog, cancel] : edited) EXPECT_TRUE(closes(dialog));
    EXPECT_EQ(shown_settings(editor), "123 0 | 001 | 1234") << (by_cancel ? "Cancel" : "close box") << " stores nothing";
  }
  // Two windows of one kind each act on their own fields; no blur button checked is level 0.
  HWND first = work_dialog(editor, kMosaicSettings, {{2, "3"}, {3, "4"}});
  HWND second = work_dialog(editor, kMosaicSettings, {{2, "7"}, {3, "8"}});
  e2e::click(nth_child(first, 4));
  EXPECT_TRUE(closes(first)) << "the first window's OK closes it";
  e2e::click(nth_child(second, 5));
  EXPECT_TRUE(closes(second)) << "the second window's Cancel closes it";
  HWND blur = work_dialog(editor, kBlurSettings);
  for (size_t i = 0; i < 3; ++i) SendMessageA(nth_child(blur, i), BM_SETCHECK, BST_UNCHECKED, 0);
  e2e::click(nth_child(blur, 3));
  EXPECT_TRUE(closes(blur));
  EXPECT_EQ(shown_settings(editor), "3 4 | 000 | 1234");

  for (HWND hwnd : {work_dialog(editor, kBlurSettings, {{0, nullptr}, {3, nullptr}}),
                    work_dialog(editor, kScrambleSettings, {{1, "0"}, {2, nullptr}})})
    ASSERT_TRUE(closes(hwnd));
  // The fill colour confirmed in the chooser; reopened, it shows the colour and Cancel keeps it.
  constexpr int kRed = 706, kGreen = 707, kBlue = 708;  // the chooser's fields
  const struct { int rgb[3]; int button; } choices[] = {{{200, 30, 90}, IDOK}, {{1, 2, 3}, IDCANCEL}};
  for (const auto& c : choices) {
    editor.command(3003);
    HWND chooser = editor.wait_dialog().hwnd;
    if (c.button == IDCANCEL) {
      EXPECT_EQ(window_text(GetDlgItem(chooser, kRed)) + " " + window_text(GetDlgItem(chooser, kGreen)) + " " +
                    window_text(GetDlgItem(chooser, kBlue)), "200 30 90");
    }
    for (int i = 0; i < 3; ++i) e2e::set_window_text(GetDlgItem(chooser, kRed + i), std::to_string(c.rgb[i]));
    Editor::press(chooser, c.button);
    ASSERT_TRUE(closes(chooser));
  }

  // Cells 4 wide and 3 high, blur level 1, no row shift at level 0, the chosen fill colour.
  editor.drag({10, 8}, {50, 35}, "(5,3)-(45,30)");
  const murkel::Rect s{5, 3, 46, 31};
  const struct { WORD command; std::vector<murkel::Colour> block; } cases[] = {
      {2000, murkel::mosaic(original.view(), s, 4, 3)},
      {2001, murkel::blur(original.view(), s, 1)},
      {2003, {}},
      {2004, murkel::fill(s, RGB(200, 30, 90))},
  };
  for (const auto& c : cases) {
    murkel::Image expected = original;
    murkel::put_block(expected, s, c.block);
    ASSERT_TRUE(editor.command_and_wait(c.command));
    SCOPED_TRACE(testing::Message() << "effect command " << c.command);
    e2e::expect_shown(editor, expected, s);
    ASSERT_TRUE(editor.command_and_wait(2005));  // Undo
  }
}

// --- The latest-version check

// The editor, started to ask `host`, with its information dialog open, and a
// script standing in for the web browser.
class VersionCheckE2e : public ::testing::Test {
 protected:
  void start(const char* host) {
    SetEnvironmentVariableA("MURKEL_UPDATE_HOST", host);
    editor.emplace(folder.path);
    information = work_dialog(*editor, kInformation);
  }
  // Clicks the check button and answers the box that follows: its caption, visible buttons and text.
  std::string check(int answer = IDOK) {
    e2e::click(nth_child(information, 4));
    const e2e::Dialog box = editor->wait_dialog();
    std::string buttons;
    for (HWND button : e2e::descendants(box.hwnd, "Button", true)) buttons += " " + std::to_string(GetDlgCtrlID(button));
    Editor::press(box.hwnd, answer);
    EXPECT_TRUE(closes(box.hwnd));
    return box.caption + buttons + " " + box.text;
  }
  e2e::BrowserRecorder browser;
  e2e::TempFolder folder;
  std::optional<Editor> editor;
  HWND information = nullptr;
};

const std::string kOk = "最新バージョンのチェック 1 ", kYesNo = "最新バージョンのチェック 6 7 ",
                  kNewer = "このソフトは最新バージョンではありません。現在の最新バージョンは1.3.0.0です。最新バージョンにアップデートしますか。",
                  kLatest = kOk + "このソフトは最新バージョンです。", kNoVersion = " 1 サーバーの応答に最新バージョンの情報がありませんでした。";

TEST_F(VersionCheckE2e, RefusedConnectionVerdictsDownloadPageAndUnknownHost) {
  start("127.0.0.1");
  std::string lines;
  for (size_t i = 0; i < 4; ++i) lines += window_text(nth_child(information, i)) + "|";
  EXPECT_EQ(lines, "正式ソフト名:MURKEL_Pro|バージョン　:1.2.0.0|完成日　　　:2004年1月22日|著作者　　　:Quorvel|");
  EXPECT_EQ(check(), " 1 接続できません。") << "no server yet: the connection is refused";

  e2e::LoopbackHttpServer server;
  const struct { std::optional<std::string> file; int answer; std::string box; } cases[] = {
      {"MURKEL_Pro:1200\r\n", IDOK, kLatest},
      {"MURKEL_Pro:1300\r\n", IDNO, kYesNo + kNewer},
      {"MURKEL_Pro:1300\r\n", IDYES, kYesNo + kNewer},
      {"MURKEL_Pro:1100\r\n", IDOK, kOk + "このソフトは現在公式リリースされていません。現在の公式バージョンは1.1.0.0です。"},
      {"version 1.3.0.0\r\n", IDOK, kNoVersion},
      {std::nullopt, IDOK, " 1 サーバーから応答がありませんでした。"},
  };
  std::string request = "GET /softs/version.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  request.resize(1024, '\0');
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].file.value_or("(no reply)"));
    server.set_version_file(cases[i].file);
    const std::string box = check(cases[i].answer);
    EXPECT_EQ(box, cases[i].box);
    ASSERT_EQ(server.requests().size(), i + 1);
    EXPECT_EQ(server.requests().back(), request);
  }
  // Yes opened the download page, No nothing. No came a check before Yes and
  // four before this point, so an address it had opened would be written by
  // the time Yes's whole line is.
  e2e::wait_until([&] { return browser.addresses().ends_with("\n"); });
  EXPECT_EQ(browser.addresses(), "http://127.0.0.1/softs/index.html#MURKEL_Pro\n");

  // A host whose name is not found: told, with no connection anywhere (a zero address would land here).
  start("no-such-host.invalid");
  EXPECT_EQ(check(), " 1 接続できません。");
  EXPECT_EQ(server.requests().size(), std::size(cases));
}

// A reply in pieces is read until the key and its four characters are in, the
// server closes, or the 2048-byte buffer is full, whichever comes first.
TEST_F(VersionCheckE2e, ReplyInPieces) {
  e2e::LoopbackHttpServer server;
  start("127.0.0.1");
  const std::string long_body = std::string(2100, 'x') + "MURKEL_Pro:1300";
  const struct { std::string body; std::vector<size_t> cuts; bool hold_open; int answer; std::string box; } cases[] = {
      {"MURKEL_Pro:1300", {0}, false, IDNO, kYesNo + kNewer},                 // the body half a second after the header
      {"MURKEL_Pro:1200\r\n", {0, 9, 13}, false, IDOK, kLatest},              // the key and the digits cut apart
      {"MURKEL_Pro:1200\r\n", {0}, true, IDOK, kLatest},                      // told while the server holds on
      {"MURKEL_Pro:13", {0}, false, IDOK, kOk + "このソフトは現在公式リリースされていません。現在の公式バージョンは1.3..です。"},
      {long_body, {0, 1000}, true, IDOK, kNoVersion},                        // the buffer fills before the key
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 20) + (c.hold_open ? " (held open)" : ""));
    server.set_version_file(c.body, c.cuts, c.hold_open);
    EXPECT_EQ(check(c.answer), c.box);
  }
}

// A real web server: nginx from Debian's packages serving the version file.
TEST_F(VersionCheckE2e, AgainstNginx) {
  e2e::NginxServer nginx;
  start("127.0.0.1");
  const std::string version_file = nginx.root + "\\softs\\version.txt";
  const struct { const char* file; int answer; std::string box; } cases[] = {
      {"MURKEL_Pro:1300\n", IDNO, kYesNo + kNewer},
      {"MURKEL_Pro:1200\n", IDOK, kLatest},
      {nullptr, IDOK, kNoVersion},  // 404 Not Found
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(no file)");
    c.file ? e2e::write_file(version_file, c.file) : void(DeleteFileA(version_file.c_str()));
    EXPECT_EQ(check(c.answer), c.box);
  }
}

}  // namespace
