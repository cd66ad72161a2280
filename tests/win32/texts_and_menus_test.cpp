// The texts as code page 932 bytes, the Application state after start-up, and the real menu bar.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <vector>

#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/menus/menus.h"
#include "win32/ansi_text.h"

namespace murkel {
namespace {

// "ビットマップ(*.bmp)" in code page 932, the pattern from byte 20, two zero bytes.
const std::string kFilterBytes("\x83\x72\x83\x62\x83\x67\x83\x7D\x83\x62\x83\x76(*.bmp)\0*.bmp\0\0", 27);

// A filter with its zeros: up to and with the empty entry that ends it.
std::wstring_view filter(const wchar_t* entries) {
  std::size_t length = 0;
  while (entries[length] != L'\0' || entries[length + 1] != L'\0') ++length;
  return std::wstring_view(entries, length + 2);
}

// Read through the ANSI calls under the Japanese locale, the texts are code page 932 bytes.
TEST(Texts, AreCodePage932Bytes) {
  EXPECT_EQ(ansi(text::kTitlePrefix), "MURKEL_Pro\x84\x9F[");  // the box-drawing dash
  EXPECT_EQ(ansi(text::kDocumentCaption), "MURKEL Pro");
  EXPECT_EQ(ansi(filter(texts().bitmap_filter)), kFilterBytes);
  EXPECT_EQ(ansi(texts().cannot_open), "\x89\xE6\x91\x9C\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42");
}

TEST(StartValues, SettingsColourChooserScrollAndFileDialogRecords) {
  init_application_state();
  const int values[] = {app.modification_counter, app.mosaic_cell_width, app.mosaic_cell_height, app.blur_level,
                        app.scramble_level, app.history.undo_toggle(), app.status_field_edges[0], app.status_field_edges[1]};
  EXPECT_EQ(std::vector<int>(std::begin(values), std::end(values)), (std::vector<int>{0, 10, 10, 2, 32, 0, 100, 300}));
  for (COLORREF colour : app.custom_colours) EXPECT_EQ(colour, 0x00FFFFFFu);
  EXPECT_EQ(app.colour_chooser.Flags, 3u);  // CC_RGBINIT and CC_FULLOPEN
  EXPECT_EQ(app.colour_chooser.rgbResult, 0u);
  EXPECT_EQ(app.colour_chooser.lpCustColors, app.custom_colours);
  for (const SCROLLINFO* record : {&app.horizontal_scroll, &app.vertical_scroll}) {
    EXPECT_EQ(record->cbSize, 28u);
    EXPECT_EQ(record->fMask, 0x1Fu);  // SIF_ALL with SIF_DISABLENOSCROLL
  }
  EXPECT_EQ(ansi(filter(app.file_dialog.lpstrFilter)), kFilterBytes);
  EXPECT_EQ(app.file_dialog.nMaxFile, 260u);
  EXPECT_EQ(app.file_dialog.nMaxFileTitle, 260u);
  EXPECT_EQ(ansi(app.file_dialog.lpstrDefExt), "bmp");
}

// What a menu holds at one position: identifier, caption, separator and grayed flags, drop-down.
std::string item(HMENU menu, UINT position) {
  char caption[128] = {};
  MENUITEMINFOA info{sizeof(info), MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING};
  info.dwTypeData = caption;
  info.cch = sizeof(caption);
  EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info));
  return std::to_string(info.wID) + " " + caption + ((info.fType & MFT_SEPARATOR) ? " -" : "") +
         ((info.fState & MF_GRAYED) ? " (grayed)" : "") + (info.hSubMenu ? " >" : "");
}

std::vector<std::string> items(HMENU menu) {
  std::vector<std::string> all;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) all.push_back(item(menu, i));
  return all;
}

TEST(Menus, BarDropDownsAndEditMenuEnabling) {
  create_menu_bar();
  using List = std::vector<std::string>;
  EXPECT_EQ(items(app.menu_bar),
            (List{"0 ファイル(&F) >", "0 編集(&E) >", "0 表示(&V) >", "0 設定(&S) >", "0 ヘルプ(&H) >"}));
  EXPECT_EQ(GetSubMenu(app.menu_bar, 1), app.edit_menu);
  EXPECT_EQ(items(app.file_menu), (List{"1001 ファイルを開く(&O)", "1002 上書き保存(&S)", "1003 名前をつけて保存(&A)", "0  -",
                                        "1004 元の状態に戻す(&R)", "0  -", "1005 アプリケーションの終了(&E)"}));
  EXPECT_EQ(items(app.settings_menu), (List{"3000 モザイクの設定(&M)", "3001 ぼかしの設定(&G)", "3002 スクランブルの設定(&S)",
                                            "3003 塗りつぶし色の指定(&P)"}));
  EXPECT_EQ(items(app.help_menu), (List{"4001 ヘルプ(&H)", "4002 バージョン情報(&V)"}));
  const List view_grayed{"5001 拡大(&I) (grayed)", "5002 縮小(&O) (grayed)", "5003 実際のサイズ(&A) (grayed)",
                         "5004 ウィンドウに合わせる(&F) (grayed)"};
  EXPECT_EQ(items(app.view_menu), view_grayed);
  enable_view_items(true);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(items(app.view_menu)[i] + " (grayed)", view_grayed[i]);
  const List edit_grayed{"2005 元に戻す(&U) (grayed)", "0  - (grayed)", "2000 モザイク(&M) (grayed)", "2001 ぼかし(&G) (grayed)",
                         "2002 拡散化(&B) (grayed)", "2003 スクランブル(&S) (grayed)", "2004 塗りつぶし(&P) (grayed)",
                         "2008 モザイク (安全) (grayed)", "2009 ぼかし (安全) (grayed)",
                         "0  - (grayed)",          "2006 コピー (grayed)",    "2007 貼り付け (grayed)",
                         "0  - (grayed)",          "2010 検出して隠す... (grayed)",
                         "0  - (grayed)",          "2012 前の状態へ (grayed)", "2013 次の状態へ (grayed)",
                         "2014 すべて選択 (grayed)", "2011 切り抜き (grayed)"};
  EXPECT_EQ(items(app.edit_menu), edit_grayed);
  // The effects are enabled and grayed as one block, Undo alone.
  enable_effect_items(true);
  List edit = items(app.edit_menu);
  EXPECT_EQ(edit[0], edit_grayed[0]);
  for (int i = 2; i < 9; ++i) EXPECT_EQ(edit[i] + " (grayed)", edit_grayed[i]);
  enable_undo_item(true);
  enable_effect_items(false);
  edit = items(app.edit_menu);
  EXPECT_EQ(edit[0] + " (grayed)", edit_grayed[0]);
  EXPECT_EQ(List(edit.begin() + 1, edit.end()), List(edit_grayed.begin() + 1, edit_grayed.end()));
  // Copy and Paste each on its own, the rest as it was.
  enable_clipboard_items(false, true);
  EXPECT_EQ(items(app.edit_menu)[10], edit_grayed[10]);
  EXPECT_EQ(items(app.edit_menu)[11] + " (grayed)", edit_grayed[11]);
  enable_clipboard_items(true, false);
  EXPECT_EQ(items(app.edit_menu)[10] + " (grayed)", edit_grayed[10]);
  EXPECT_EQ(items(app.edit_menu)[11], edit_grayed[11]);
  EXPECT_EQ(items(app.edit_menu)[8], edit_grayed[8]);
  // Find and hide on its own.
  enable_find_item(true);
  EXPECT_EQ(items(app.edit_menu)[13] + " (grayed)", edit_grayed[13]);
  EXPECT_EQ(items(app.edit_menu)[11], edit_grayed[11]);
  // The two steps each on its own; Select all and Crop likewise.
  enable_history_items(false, true);
  EXPECT_EQ(items(app.edit_menu)[15], edit_grayed[15]);
  EXPECT_EQ(items(app.edit_menu)[16] + " (grayed)", edit_grayed[16]);
  enable_select_all_item(true);
  enable_crop_item(false);
  EXPECT_EQ(items(app.edit_menu)[17] + " (grayed)", edit_grayed[17]);
  EXPECT_EQ(items(app.edit_menu)[18], edit_grayed[18]);
  DestroyMenu(app.menu_bar);
}

// Both tables have every entry: the Japanese ones exact in code page 932 (what ANSI readers
// get under the Japanese locale), the English ones plain ASCII (the same in any code page).
// A Japanese user interface language gets the Japanese texts, any other the English ones.
TEST(Texts, BothLanguagesHaveEveryEntryAndTheUserInterfaceLanguageChooses) {
  constexpr std::size_t kEntries = sizeof(Texts) / sizeof(const wchar_t*);
  for (const Language language : {Language::japanese, Language::english}) {
    const auto entries = std::bit_cast<std::array<const wchar_t*, kEntries>>(texts_of(language));
    for (std::size_t i = 0; i < kEntries; ++i) {
      ASSERT_NE(entries[i], nullptr) << "entry " << i << " of language " << static_cast<int>(language);
      const std::wstring entry = entries[i];
      EXPECT_FALSE(entry.empty()) << "entry " << i;
      if (language == Language::japanese) EXPECT_EQ(wide(ansi(entry)), entry) << "entry " << i;
      else EXPECT_TRUE(std::all_of(entry.begin(), entry.end(), [](wchar_t c) { return c < 0x80; })) << "entry " << i;
    }
  }
  const struct { unsigned short ui_language; Language expected; } cases[] = {
      {0x0411, Language::japanese}, {0x0011, Language::japanese},  // Japanese (Japan), Japanese alone
      {0x0409, Language::english},  {0x0809, Language::english},   // English (US, UK)
      {0x0407, Language::english},  {0x0412, Language::english},  {0x0804, Language::english},  // German, Korean, Chinese
  };
  for (const auto& c : cases) EXPECT_EQ(interface_language(c.ui_language), c.expected) << std::hex << c.ui_language;

  use_language(Language::english);
  create_menu_bar();
  EXPECT_EQ(items(app.menu_bar),
            (std::vector<std::string>{"0 &File >", "0 &Edit >", "0 &View >", "0 &Settings >", "0 &Help >"}));
  EXPECT_EQ(items(app.edit_menu)[7], "2008 Mosaic (secure) (grayed)");
  EXPECT_EQ(items(app.edit_menu)[13], "2010 Find and hide... (grayed)");
  const std::vector<std::string> edit = items(app.edit_menu);
  EXPECT_EQ(std::vector<std::string>(edit.begin() + 15, edit.end()),
            (std::vector<std::string>{"2012 Step backward (grayed)", "2013 Step forward (grayed)",
                                      "2014 Select all (grayed)", "2011 Crop (grayed)"}));
  EXPECT_EQ(items(app.view_menu), (std::vector<std::string>{"5001 Zoom &In (grayed)", "5002 Zoom &Out (grayed)",
                                                            "5003 &Actual Size (grayed)",
                                                            "5004 &Fit to Window (grayed)"}));
  DestroyMenu(app.menu_bar);
  use_language(Language::japanese);
}

}  // namespace
}  // namespace murkel
