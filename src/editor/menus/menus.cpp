// Menu bar construction: every item inserted by position with InsertMenuItemA.
#include "editor/menus/menus.h"

#include <iterator>

#include "editor/app/app_state.h"
#include "editor/app/texts.h"

namespace murkel {
namespace {

struct MenuItem {
  UINT id;              // 0 for a separator
  const char* caption;  // nullptr for a separator
};

void insert_item(HMENU menu, UINT position, UINT id, const char* caption, UINT state, HMENU submenu) {
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_TYPE;
  item.fType = caption ? MFT_STRING : MFT_SEPARATOR;
  item.fState = state;
  item.wID = id;
  item.hSubMenu = submenu;
  item.dwTypeData = const_cast<char*>(caption);
  InsertMenuItemA(menu, position, TRUE, &item);
}

template <size_t N>
void fill_menu(HMENU menu, const MenuItem (&items)[N], UINT state) {
  for (UINT position = 0; position < N; ++position) {
    insert_item(menu, position, items[position].id, items[position].caption, state, nullptr);
  }
}

}  // namespace

void create_menu_bar() {
  app.menu_bar = CreateMenu();
  app.file_menu = CreateMenu();
  app.edit_menu = CreateMenu();
  app.settings_menu = CreateMenu();
  app.help_menu = CreateMenu();

  static constexpr MenuItem file_items[] = {
      {kCmdOpen, text::kMenuOpen},     {kCmdSave, text::kMenuSave}, {kCmdSaveAs, text::kMenuSaveAs},
      {0, nullptr},                    {kCmdRevert, text::kMenuRevert},
      {0, nullptr},                    {kCmdExit, text::kMenuExit},
  };
  static constexpr MenuItem edit_items[] = {
      {kCmdUndo, text::kMenuUndo},           {0, nullptr},
      {kCmdMosaic, text::kMenuMosaic},       {kCmdBlur, text::kMenuBlur},
      {kCmdDiffusion, text::kMenuDiffusion}, {kCmdScramble, text::kMenuScramble},
      {kCmdFill, text::kMenuFill},           {kCmdSecureMosaic, text::kMenuSecureMosaic},
      {kCmdSecureBlur, text::kMenuSecureBlur}, {0, nullptr},
      {kCmdCopy, text::kMenuCopy},           {kCmdPaste, text::kMenuPaste},
  };
  static constexpr MenuItem settings_items[] = {
      {kCmdMosaicSettings, text::kMenuMosaicSettings},
      {kCmdBlurSettings, text::kMenuBlurSettings},
      {kCmdScrambleSettings, text::kMenuScrambleSettings},
      {kCmdFillColour, text::kMenuFillColour},
  };
  static constexpr MenuItem help_items[] = {
      {kCmdHelp, text::kMenuHelpContents},
      {kCmdVersion, text::kMenuVersion},
  };

  fill_menu(app.file_menu, file_items, MFS_ENABLED);
  fill_menu(app.edit_menu, edit_items, MFS_GRAYED);
  fill_menu(app.settings_menu, settings_items, MFS_ENABLED);
  fill_menu(app.help_menu, help_items, MFS_ENABLED);

  insert_item(app.menu_bar, 0, 0, text::kMenuFile, MFS_ENABLED, app.file_menu);
  insert_item(app.menu_bar, 1, 0, text::kMenuEdit, MFS_ENABLED, app.edit_menu);
  insert_item(app.menu_bar, 2, 0, text::kMenuSettings, MFS_ENABLED, app.settings_menu);
  insert_item(app.menu_bar, 3, 0, text::kMenuHelp, MFS_ENABLED, app.help_menu);
}

void enable_undo_item(bool enabled) {
  EnableMenuItem(app.edit_menu, kEditUndoPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void enable_effect_items(bool enabled) {
  for (UINT position = kEditFirstEffectPosition; position <= kEditLastEffectPosition; ++position) {
    EnableMenuItem(app.edit_menu, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  }
}

void enable_clipboard_items(bool copy, bool paste) {
  EnableMenuItem(app.edit_menu, kEditCopyPosition, MF_BYPOSITION | (copy ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(app.edit_menu, kEditPastePosition, MF_BYPOSITION | (paste ? MF_ENABLED : MF_GRAYED));
}

HACCEL create_accelerators() {
  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'O', kCmdOpen},
      {FVIRTKEY | FCONTROL, 'S', kCmdSave},
      {FVIRTKEY | FCONTROL | FSHIFT, 'S', kCmdSaveAs},
      {FVIRTKEY | FCONTROL, 'Z', kCmdUndo},
      {FVIRTKEY | FCONTROL, 'C', kCmdCopy},
      {FVIRTKEY | FCONTROL, 'V', kCmdPaste},
      {FVIRTKEY, VK_F1, kCmdHelp},
  };
  return CreateAcceleratorTableA(keys, static_cast<int>(std::size(keys)));
}

}  // namespace murkel
