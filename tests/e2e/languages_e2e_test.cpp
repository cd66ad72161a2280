// End to end in the user's language, with names of any script: a picture in a folder named in
// several scripts opens from a UTF-16 command line and is named exactly in the title; a fill and
// Save write that very file; the revert and save prompts and the help page are those of the user's
// language. ctest runs this under the Japanese locale (e2e_test) and again under LC_ALL=C.UTF-8
// (e2e_test_english), where the editor speaks English.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver.h"

namespace {

using e2e::Editor;

struct Language {
  std::string revert_prompt, save_prompt, help_page;
};

const Language& users_language() {
  static const Language japanese{"この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?",
                                 "画像は変更されています。保存しますか?", "index.html"};
  static const Language english{"Reverting discards all the changes made so far. Do you want to revert to the file?",
                                "The picture has been changed. Do you want to save it?", "index.en.html"};
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? japanese : english;
}

void answer(Editor& editor, const std::string& text, int button) {
  const e2e::Dialog box = editor.wait_dialog();
  EXPECT_EQ(box.caption + " " + box.text, "MURKEL Pro " + text);  // English: plain ASCII, read in any code page
  Editor::press(box.hwnd, button);
  EXPECT_TRUE(e2e::wait_until([&] { return !IsWindow(box.hwnd); })) << "the box stayed open";
}

TEST(LanguagesE2e, PictureInAFolderOfManyScriptsOpensSavesAndSpeaksTheUsersLanguage) {
  const Language& language = users_language();
  e2e::TempFolder temp;
  const std::wstring folder = e2e::wide(temp.path) + L"\\café 한국어 Ελληνικά 😀", path = folder + L"\\写真😀.bmp";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const murkel::Image original = e2e::noise_picture(40, 30);
  e2e::write_file(path, e2e::bmp_file(original));
  e2e::BrowserRecorder browser;
  Editor editor(folder, path);
  const auto expect_title = [&](const std::wstring& prefix) {
    std::wstring title;
    e2e::wait_until([&] { return (title = editor.wide_title()) == prefix + path + L"]"; });
    EXPECT_TRUE(title == prefix + path + L"]") << "the title names the picture exactly";
  };
  expect_title(L"MURKEL_Pro─[");

  editor.drag({10, 8}, {30, 20}, "(5,3)-(25,15)");
  ASSERT_TRUE(editor.command_and_wait(2004));  // fill, black at start
  expect_title(L"MURKEL_Pro─[*");
  editor.command(1004);  // Revert asks first; No keeps the fill
  answer(editor, language.revert_prompt, IDNO);
  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  expect_title(L"MURKEL_Pro─[");
  murkel::Image filled = original;
  const murkel::Rect s{5, 3, 26, 16};
  murkel::put_block(filled, s, murkel::fill(s, RGB(0, 0, 0)));
  EXPECT_TRUE(e2e::read_file(path) == e2e::bmp_file(filled)) << "the saved file";

  EXPECT_TRUE(editor.command_and_wait(4001, 5000)) << "a box of the editor is open";
  EXPECT_EQ(browser.addresses(), e2e::file_address(Editor::bin_folder() + "\\help\\" + language.help_page) + "\n");

  ASSERT_TRUE(editor.command_and_wait(2002));  // diffusion, then closing asks; No drops it
  editor.close();
  answer(editor, language.save_prompt, IDNO);
  EXPECT_EQ(editor.wait_exit(), std::optional<DWORD>(0));
  EXPECT_TRUE(e2e::read_file(path) == e2e::bmp_file(filled)) << "the file as saved";
}

}  // namespace
