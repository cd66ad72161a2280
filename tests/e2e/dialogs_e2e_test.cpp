// End to end: the settings dialogs, the information dialog and the latest-version check against a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
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

// A dialog's children in creation order.
std::vector<HWND> controls_of(HWND dialog) {
  std::vector<HWND> all;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) all.push_back(child);
  return all;
}
HWND nth_child(HWND dialog, size_t i) { return controls_of(dialog).at(i); }
bool closes(HWND hwnd) { return e2e::wait_until([&] { return !IsWindow(hwnd); }); }
void close_box(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Starts the dialog of `command`; its new window once its controls are made.
HWND open_dialog(Editor& editor, WORD command) {
  static const std::map<WORD, size_t> kControls = {{3000, 6}, {3001, 5}, {3002, 4}, {4002, 5}};
  const std::vector<HWND> before = editor.windows("SETTINGS");
  editor.command(command);
  HWND found = nullptr;
  e2e::wait_until([&] {
    for (HWND hwnd : editor.windows("SETTINGS")) {
      if (std::find(before.begin(), before.end(), hwnd) == before.end()) found = hwnd;
    }
    return found && controls_of(found).size() >= kControls.at(command);
  });
  if (!found) throw std::runtime_error("no new SETTINGS window after command " + std::to_string(command));
  return found;
}

// Opens a dialog and works its controls by index: a text is typed into the
// field, nullptr clicks the button.
HWND work_dialog(Editor& editor, WORD command, std::vector<std::pair<size_t, const char*>> steps) {
  HWND dialog = open_dialog(editor, command);
  for (auto [i, text] : steps) text ? e2e::set_window_text(nth_child(dialog, i), text) : e2e::click(nth_child(dialog, i));
  return dialog;
}

// The settings as the next openings show them: "height width | blur buttons' checks | scramble".
std::string shown_settings(Editor& editor) {
  HWND mosaic = open_dialog(editor, kMosaicSettings);
  std::string shown = window_text(nth_child(mosaic, 2)) + " " + window_text(nth_child(mosaic, 3)) + " | ";
  HWND blur = open_dialog(editor, kBlurSettings);
  std::string checks;  // set after the window is shown
  e2e::wait_until([&] {
    checks.clear();
    for (size_t i = 0; i < 3; ++i) checks += std::to_string(SendMessageA(nth_child(blur, i), BM_GETCHECK, 0, 0));
    return checks != "000";
  }, 1000);
  shown += checks;
  HWND scramble = open_dialog(editor, kScrambleSettings);
  shown += " | " + window_text(nth_child(scramble, 1));
  for (HWND hwnd : {mosaic, blur, scramble}) close_box(hwnd);
  for (HWND hwnd : {mosaic, blur, scramble}) EXPECT_TRUE(closes(hwnd));
  return shown;
}

class DialogsE2e : public ::testing::Test {
 protected:
  e2e::TempFolder folder;
};

TEST_F(DialogsE2e, OkStoresWhatTheFieldsHoldAndCancelOrTheCloseBoxStoreNothing) {
  Editor editor(folder.path());
  editor.main_window();
  EXPECT_EQ(shown_settings(editor), "10 10 | 010 | 32") << "start values";

  // OK takes at most 3 characters of a mosaic field and 4 of the scramble
  // field, an empty field as 0, and the checked blur button's number.
  for (HWND hwnd : {work_dialog(editor, kMosaicSettings, {{2, "1234"}, {3, ""}, {4, nullptr}}),
                    work_dialog(editor, kBlurSettings, {{2, nullptr}, {3, nullptr}}),
                    work_dialog(editor, kScrambleSettings, {{1, "12345"}, {2, nullptr}})}) {
    EXPECT_TRUE(closes(hwnd)) << "OK closes its window";
  }
  const std::string stored = "123 0 | 001 | 1234";
  EXPECT_EQ(shown_settings(editor), stored);

  for (bool by_cancel : {true, false}) {
    const std::pair<HWND, size_t> edited[] = {{work_dialog(editor, kMosaicSettings, {{2, "7"}}), 5},
                                              {work_dialog(editor, kBlurSettings, {{0, nullptr}}), 4},
                                              {work_dialog(editor, kScrambleSettings, {{1, "7"}}), 3}};
    for (auto [dialog, cancel] : edited) by_cancel ? e2e::click(nth_child(dialog, cancel)) : close_box(dialog);
    for (auto [dialog, cancel] : edited) EXPECT_TRUE(closes(dialog));
    EXPECT_EQ(shown_settings(editor), stored) << (by_cancel ? "Cancel" : "close box") << " stores nothing";
  }

  HWND blur = open_dialog(editor, kBlurSettings);
  for (size_t i = 0; i < 3; ++i) SendMessageA(nth_child(blur, i), BM_SETCHECK, BST_UNCHECKED, 0);
  e2e::click(nth_child(blur, 3));
  EXPECT_TRUE(closes(blur));
  EXPECT_EQ(shown_settings(editor), "123 0 | 000 | 1234") << "none checked gives level 0";
}

TEST_F(DialogsE2e, TwoWindowsOfOneKindEachActOnTheirOwnFields) {
  Editor editor(folder.path());
  editor.main_window();
  HWND first = work_dialog(editor, kMosaicSettings, {{2, "5"}, {3, "6"}});
  HWND second = work_dialog(editor, kMosaicSettings, {{2, "7"}, {3, "8"}});
  e2e::click(nth_child(first, 4));
  EXPECT_TRUE(closes(first)) << "the first window's OK closes it";
  e2e::click(nth_child(second, 5));
  EXPECT_TRUE(closes(second)) << "the second window's Cancel closes it";
  EXPECT_EQ(shown_settings(editor), "5 6 | 010 | 32");
}

COLORREF noise(int x, int y) {
  const std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u);
  return (h * 2654435761u >> 8) & 0xFFFFFF;
}

TEST_F(DialogsE2e, TheStoredSettingsChangeTheNextEffect) {
  constexpr int kWidth = 60, kHeight = 40;
  murkel::Image original{kWidth, kHeight, std::vector<murkel::Colour>(kWidth * kHeight)};
  for (int i = 0; i < kWidth * kHeight; ++i) original.pixels[i] = noise(i % kWidth, i / kWidth);
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

  for (HWND hwnd : {work_dialog(editor, kMosaicSettings, {{2, "3"}, {3, "4"}, {4, nullptr}}),
                    work_dialog(editor, kBlurSettings, {{0, nullptr}, {3, nullptr}}),
                    work_dialog(editor, kScrambleSettings, {{1, "0"}, {2, nullptr}})}) {
    ASSERT_TRUE(closes(hwnd));
  }
  // Cells 4 wide and 3 high, blur level 1, and no row shift at level 0.
  const struct { WORD command; std::vector<murkel::Colour> block; } cases[] = {
      {2000, murkel::mosaic(original.view(), selection, 4, 3)},
      {2001, murkel::blur(original.view(), selection, 1)},
      {2003, {}},
  };
  for (const auto& c : cases) {
    murkel::Image expected = original;
    murkel::put_block(expected, selection, c.block);
    ASSERT_TRUE(editor.command_and_wait(c.command));
    // Inside the selection's outline, which covers its border pixels.
    const RECT inner{5 + selection.left + 1, 5 + selection.top + 1, 5 + selection.right - 1, 5 + selection.bottom - 1};
    std::vector<COLORREF> want, shown;
    for (LONG y = inner.top - 5; y < inner.bottom - 5; ++y)
      for (LONG x = inner.left - 5; x < inner.right - 5; ++x) want.push_back(expected.pixels[y * kWidth + x]);
    e2e::wait_until([&] { return (shown = editor.canvas_pixels(inner).pixels) == want; }, 5000);
    EXPECT_EQ(shown, want) << "effect command " << c.command;
    ASSERT_TRUE(editor.command_and_wait(2005));  // Undo
  }
}

// --- The latest-version check

// The script standing in for the web browser writes here what it was asked to open.
std::string recorder_log() {
  std::string path = std::string("Z:") + MURKEL_URL_RECORDER + ".log";
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string opened_addresses() {
  std::stringstream content;
  content << std::ifstream(recorder_log(), std::ios::binary).rdbuf();
  return content.str();
}

// The editor, started to ask `host`, with its information dialog open.
// Wine's shell opens web addresses with the browser named in its
// WineBrowser setting: here the recorder.
class VersionCheckE2e : public DialogsE2e {
 protected:
  void start(const char* host) {
    SetEnvironmentVariableA("MURKEL_UPDATE_HOST", host);
    DeleteFileA(recorder_log().c_str());
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers", REG_SZ, MURKEL_URL_RECORDER,
                    sizeof(MURKEL_URL_RECORDER));
    editor.emplace(folder.path());
    editor->main_window();
    information = open_dialog(*editor, kInformation);
  }
  void TearDown() override {
    editor.reset();
    SetEnvironmentVariableA("MURKEL_UPDATE_HOST", nullptr);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers");
  }
  // Clicks the check button, answers the message box that follows and returns what it said.
  e2e::DialogInfo check(int answer = IDOK) {
    e2e::click(nth_child(information, 4));
    e2e::DialogInfo box = editor->wait_dialog();
    box.caption += " " + testing::PrintToString(e2e::visible_button_ids(box.hwnd));
    Editor::press_button(box.hwnd, answer);
    EXPECT_TRUE(closes(box.hwnd));
    return box;
  }
  std::optional<Editor> editor;
  HWND information = nullptr;
};

const std::string kCaptionOk = "最新バージョンのチェック { 1 }", kCaptionYesNo = "最新バージョンのチェック { 6, 7 }";
const std::string kNewer =
    "このソフトは最新バージョンではありません。現在の最新バージョンは1.3.0.0です。最新バージョンにアップデートしますか。";

TEST_F(VersionCheckE2e, VerdictsOfTheServersVersionFileAndTheDownloadPage) {
  e2e::LoopbackHttpServer server;
  start("127.0.0.1");
  std::string lines;
  for (size_t i = 0; i < 4; ++i) lines += window_text(nth_child(information, i)) + "|";
  EXPECT_EQ(lines, "正式ソフト名:MURKEL_Pro|バージョン　:1.2.0.0|完成日　　　:2004年1月22日|著作者　　　:Quorvel|");

  const struct { std::optional<std::string> file; int answer; std::string caption, text; } cases[] = {
      {"MURKEL_Pro:1200\r\n", IDOK, kCaptionOk, "このソフトは最新バージョンです。"},
      {"MURKEL_Pro:1300\r\n", IDNO, kCaptionYesNo, kNewer},
      {"MURKEL_Pro:1300\r\n", IDYES, kCaptionYesNo, kNewer},
      {"MURKEL_Pro:1100\r\n", IDOK, kCaptionOk,
       "このソフトは現在公式リリースされていません。現在の公式バージョンは1.1.0.0です。"},
      {"version 1.3.0.0\r\n", IDOK, " { 1 }", "サーバーの応答に最新バージョンの情報がありませんでした。"},
      {std::nullopt, IDOK, " { 1 }", "サーバーから応答がありませんでした。"},
  };
  std::string request = "GET /softs/version.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  request.resize(1024, '\0');
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(escape(cases[i].file.value_or("(no reply)")));
    server.set_version_file(cases[i].file);
    const e2e::DialogInfo box = check(cases[i].answer);
    EXPECT_EQ(box.caption, cases[i].caption) << escape(box.caption);
    EXPECT_EQ(box.text, cases[i].text) << escape(box.text);
    ASSERT_EQ(server.requests().size(), i + 1);
    EXPECT_EQ(server.requests().back(), request) << escape(server.requests().back());
  }
  // Yes opened the download page, No nothing.
  e2e::wait_until([] { return !opened_addresses().empty(); });
  Sleep(500);
  EXPECT_EQ(opened_addresses(), "http://127.0.0.1/softs/index.html#MURKEL_Pro\n");
}

TEST_F(VersionCheckE2e, RefusedConnectionIsToldAndTheDialogStaysUsable) {
  start("127.0.0.1");
  const e2e::DialogInfo refused = check();
  EXPECT_EQ(refused.caption + refused.text, " { 1 }接続できません。") << escape(refused.text);
  e2e::LoopbackHttpServer server;
  server.set_version_file("MURKEL_Pro:1200");
  EXPECT_EQ(check().caption, kCaptionOk);
}

TEST_F(VersionCheckE2e, HostNotFoundIsToldWithoutConnectingAnywhere) {
  e2e::LoopbackHttpServer server;  // where a connection to a zero address would land
  server.set_version_file("MURKEL_Pro:1200");
  start("no-such-host.invalid");
  const e2e::DialogInfo box = check();
  EXPECT_EQ(box.caption + box.text, " { 1 }接続できません。") << escape(box.text);
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
