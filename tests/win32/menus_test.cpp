// The real menu bar: captions as CP932 bytes, identifiers, separators, states and Edit menu enabling.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/menus.h"

namespace {

using Bytes = std::vector<unsigned char>;

// One expected drop-down item; a separator has no caption and identifier 0.
struct Expected {
  UINT id;
  Bytes caption;
};

const Expected kSeparator{0, {}};

// Captions in code page 932, written out byte by byte.
const Bytes kFile{0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, 0x28, 0x26, 0x46, 0x29};
const Bytes kEdit{0x95, 0xD2, 0x8F, 0x57, 0x28, 0x26, 0x45, 0x29};
const Bytes kSettings{0x90, 0xDD, 0x92, 0xE8, 0x28, 0x26, 0x53, 0x29};
const Bytes kHelp{0x83, 0x77, 0x83, 0x8B, 0x83, 0x76, 0x28, 0x26, 0x48, 0x29};

const std::vector<Expected> kFileItems{
    {1001, {0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, 0x82, 0xF0, 0x8A, 0x4A, 0x82, 0xAD, 0x28, 0x26, 0x4F, 0x29}},
    {1002, {0x8F, 0xE3, 0x8F, 0x91, 0x82, 0xAB, 0x95, 0xDB, 0x91, 0xB6, 0x28, 0x26, 0x53, 0x29}},
    {1003, {0x96, 0xBC, 0x91, 0x4F, 0x82, 0xF0, 0x82, 0xC2, 0x82, 0xAF, 0x82, 0xC4, 0x95, 0xDB, 0x91, 0xB6, 0x28, 0x26,
            0x41, 0x29}},
    kSeparator,
    {1004, {0x8C, 0xB3, 0x82, 0xCC, 0x8F, 0xF3, 0x91, 0xD4, 0x82, 0xC9, 0x96, 0xDF, 0x82, 0xB7, 0x28, 0x26, 0x52, 0x29}},
    kSeparator,
    {1005, {0x83, 0x41, 0x83, 0x76, 0x83, 0x8A, 0x83, 0x50, 0x81, 0x5B, 0x83, 0x56, 0x83, 0x87, 0x83, 0x93, 0x82, 0xCC,
            0x8F, 0x49, 0x97, 0xB9, 0x28, 0x26, 0x45, 0x29}},
};

const std::vector<Expected> kEditItems{
    {2005, {0x8C, 0xB3, 0x82, 0xC9, 0x96, 0xDF, 0x82, 0xB7, 0x28, 0x26, 0x55, 0x29}},
    kSeparator,
    {2000, {0x83, 0x82, 0x83, 0x55, 0x83, 0x43, 0x83, 0x4E, 0x28, 0x26, 0x4D, 0x29}},
    {2001, {0x82, 0xDA, 0x82, 0xA9, 0x82, 0xB5, 0x28, 0x26, 0x47, 0x29}},
    {2002, {0x8A, 0x67, 0x8E, 0x55, 0x89, 0xBB, 0x28, 0x26, 0x42, 0x29}},
    {2003, {0x83, 0x58, 0x83, 0x4E, 0x83, 0x89, 0x83, 0x93, 0x83, 0x75, 0x83, 0x8B, 0x28, 0x26, 0x53, 0x29}},
    {2004, {0x93, 0x68, 0x82, 0xE8, 0x82, 0xC2, 0x82, 0xD4, 0x82, 0xB5, 0x28, 0x26, 0x50, 0x29}},
};

const std::vector<Expected> kSettingsItems{
    {3000, {0x83, 0x82, 0x83, 0x55, 0x83, 0x43, 0x83, 0x4E, 0x82, 0xCC, 0x90, 0xDD, 0x92, 0xE8, 0x28, 0x26, 0x4D, 0x29}},
    {3001, {0x82, 0xDA, 0x82, 0xA9, 0x82, 0xB5, 0x82, 0xCC, 0x90, 0xDD, 0x92, 0xE8, 0x28, 0x26, 0x47, 0x29}},
    {3002, {0x83, 0x58, 0x83, 0x4E, 0x83, 0x89, 0x83, 0x93, 0x83, 0x75, 0x83, 0x8B, 0x82, 0xCC, 0x90, 0xDD, 0x92, 0xE8,
            0x28, 0x26, 0x53, 0x29}},
    {3003, {0x93, 0x68, 0x82, 0xE8, 0x82, 0xC2, 0x82, 0xD4, 0x82, 0xB5, 0x90, 0x46, 0x82, 0xCC, 0x8E, 0x77, 0x92, 0xE8,
            0x28, 0x26, 0x50, 0x29}},
};

const std::vector<Expected> kHelpItems{
    {4001, {0x83, 0x77, 0x83, 0x8B, 0x83, 0x76, 0x28, 0x26, 0x48, 0x29}},
    {4002, {0x83, 0x6F, 0x81, 0x5B, 0x83, 0x57, 0x83, 0x87, 0x83, 0x93, 0x8F, 0xEE, 0x95, 0xF1, 0x28, 0x26, 0x56, 0x29}},
};

// What the menu holds at one position.
struct Item {
  UINT id = 0;
  UINT type = 0;
  UINT state = 0;
  HMENU submenu = nullptr;
  Bytes caption;
};

Item read_item(HMENU menu, UINT position) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
  EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info)) << "position " << position;
  std::string text(info.cch + 1, '\0');
  info.dwTypeData = text.data();
  info.cch = static_cast<UINT>(text.size());
  EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info)) << "position " << position;
  text.resize(info.cch);
  return {info.wID, info.fType, info.fState, info.hSubMenu, Bytes(text.begin(), text.end())};
}

// MF_GRAYED (EnableMenuItem) and MFS_GRAYED (inserted state) both carry bit 0x1.
bool grayed(HMENU menu, UINT position) { return (read_item(menu, position).state & MF_GRAYED) != 0; }

class MenusTest : public ::testing::Test {
 protected:
  void SetUp() override { murkel::create_menu_bar(); }
  void TearDown() override { DestroyMenu(murkel::app.menu_bar); }  // takes its drop-downs with it

  // Checks every item of a drop-down; `state` is what each non-separator item must carry.
  static void expect_items(HMENU menu, const std::vector<Expected>& expected, UINT state) {
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (UINT position = 0; position < expected.size(); ++position) {
      SCOPED_TRACE("position " + std::to_string(position));
      const Item item = read_item(menu, position);
      EXPECT_EQ(item.submenu, nullptr);
      EXPECT_EQ(item.id, expected[position].id);
      if (expected[position].caption.empty()) {
        EXPECT_EQ(item.type & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
      } else {
        EXPECT_EQ(item.type & MFT_SEPARATOR, 0u);
        EXPECT_EQ(item.caption, expected[position].caption);
        EXPECT_EQ(item.state, state);
      }
    }
  }
};

TEST_F(MenusTest, BarItemsCarryTheirDropDownsWithIdentifierZero) {
  using murkel::app;
  ASSERT_EQ(GetMenuItemCount(app.menu_bar), 4);
  const struct {
    HMENU submenu;
    const Bytes& caption;
  } bar[] = {{app.file_menu, kFile}, {app.edit_menu, kEdit}, {app.settings_menu, kSettings}, {app.help_menu, kHelp}};
  for (UINT position = 0; position < 4; ++position) {
    SCOPED_TRACE("bar position " + std::to_string(position));
    const Item item = read_item(app.menu_bar, position);
    EXPECT_NE(bar[position].submenu, nullptr);
    EXPECT_EQ(item.submenu, bar[position].submenu);
    EXPECT_EQ(item.id, 0u);
    EXPECT_EQ(item.caption, bar[position].caption);
    EXPECT_EQ(item.state & MFS_GRAYED, 0u);
  }
}

TEST_F(MenusTest, DropDownsStartWithTheirItemsAndOnlyTheEditMenuGrayed) {
  using murkel::app;
  {
    SCOPED_TRACE("File");
    expect_items(app.file_menu, kFileItems, MFS_ENABLED);
  }
  {
    SCOPED_TRACE("Edit");
    expect_items(app.edit_menu, kEditItems, MFS_GRAYED);
  }
  {
    SCOPED_TRACE("Settings");
    expect_items(app.settings_menu, kSettingsItems, MFS_ENABLED);
  }
  {
    SCOPED_TRACE("Help");
    expect_items(app.help_menu, kHelpItems, MFS_ENABLED);
  }
}

TEST_F(MenusTest, EffectItemsAreEnabledAndGrayedAsOneBlockWithoutTouchingUndo) {
  using murkel::app;
  murkel::enable_effect_items(true);
  EXPECT_TRUE(grayed(app.edit_menu, 0)) << "Undo must stay grayed";
  for (UINT position = 2; position <= 6; ++position) {
    EXPECT_FALSE(grayed(app.edit_menu, position)) << "effect item at position " << position;
    EXPECT_EQ(read_item(app.edit_menu, position).id, kEditItems[position].id);
  }

  murkel::enable_effect_items(false);
  for (UINT position = 2; position <= 6; ++position) {
    EXPECT_TRUE(grayed(app.edit_menu, position)) << "effect item at position " << position;
  }
  EXPECT_TRUE(grayed(app.edit_menu, 0));
}

TEST_F(MenusTest, UndoItemIsEnabledAndGrayedAloneAtPositionZero) {
  using murkel::app;
  murkel::enable_effect_items(true);
  murkel::enable_undo_item(true);
  EXPECT_FALSE(grayed(app.edit_menu, 0));
  EXPECT_EQ(read_item(app.edit_menu, 0).id, 2005u);
  for (UINT position = 2; position <= 6; ++position) {
    EXPECT_FALSE(grayed(app.edit_menu, position)) << "effect item at position " << position;
  }

  murkel::enable_undo_item(false);
  EXPECT_TRUE(grayed(app.edit_menu, 0));
  for (UINT position = 2; position <= 6; ++position) {
    EXPECT_FALSE(grayed(app.edit_menu, position)) << "effect item at position " << position;
  }
  // The other menus never change.
  for (HMENU menu : {app.file_menu, app.settings_menu, app.help_menu}) {
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
      EXPECT_FALSE(grayed(menu, position));
    }
  }
}

}  // namespace
