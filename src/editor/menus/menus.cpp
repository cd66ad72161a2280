// Menu bar construction: every item inserted by position with InsertMenuItemW.
#include "editor/menus/menus.h"

#include <iterator>

#include "editor/app/app_state.h"
#include "editor/app/texts.h"

namespace murkel {
namespace {

struct MenuItem {
  UINT id;                 // 0 for a separator
  const wchar_t* caption;  // nullptr for a separator
};

void insert_item(HMENU menu, UINT position, UINT id, const wchar_t* caption, UINT state, HMENU submenu) {
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_TYPE;
  item.fType = caption ? MFT_STRING : MFT_SEPARATOR;
  item.fState = state;
  item.wID = id;
  item.hSubMenu = submenu;
  item.dwTypeData = const_cast<wchar_t*>(caption);
  InsertMenuItemW(menu, position, TRUE, &item);
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
  app.view_menu = CreateMenu();
  app.settings_menu = CreateMenu();
  app.help_menu = CreateMenu();

  const Texts& t = texts();
  const MenuItem file_items[] = {
      {kCmdOpen, t.menu_open}, {kCmdSave, t.menu_save}, {kCmdSaveAs, t.menu_save_as},
      {0, nullptr},            {kCmdRevert, t.menu_revert},
      {0, nullptr},            {kCmdExit, t.menu_exit},
  };
  const MenuItem edit_items[] = {
      {kCmdUndo, t.menu_undo},                   {0, nullptr},
      {kCmdMosaic, t.menu_mosaic},               {kCmdBlur, t.menu_blur},
      {kCmdDiffusion, t.menu_diffusion},         {kCmdScramble, t.menu_scramble},
      {kCmdFill, t.menu_fill},                   {kCmdSecureMosaic, t.menu_secure_mosaic},
      {kCmdSecureBlur, t.menu_secure_blur},      {0, nullptr},
      {kCmdCopy, t.menu_copy},                   {kCmdPaste, t.menu_paste},
      {0, nullptr},                              {kCmdFind, t.menu_find},
      {0, nullptr},                              {kCmdStepBackward, t.menu_step_backward},
      {kCmdStepForward, t.menu_step_forward},    {kCmdSelectAll, t.menu_select_all},
      {kCmdCrop, t.menu_crop},
  };
  const MenuItem view_items[] = {
      {kCmdZoomIn, t.menu_zoom_in},
      {kCmdZoomOut, t.menu_zoom_out},
      {kCmdActualSize, t.menu_actual_size},
      {kCmdFitToWindow, t.menu_fit_to_window},
  };
  const MenuItem settings_items[] = {
      {kCmdMosaicSettings, t.menu_mosaic_settings},
      {kCmdBlurSettings, t.menu_blur_settings},
      {kCmdScrambleSettings, t.menu_scramble_settings},
      {kCmdFillColour, t.menu_fill_colour},
  };
  const MenuItem help_items[] = {
      {kCmdHelp, t.menu_help_contents},
      {kCmdVersion, t.menu_version},
  };

  fill_menu(app.file_menu, file_items, MFS_ENABLED);
  fill_menu(app.edit_menu, edit_items, MFS_GRAYED);
  fill_menu(app.view_menu, view_items, MFS_GRAYED);
  fill_menu(app.settings_menu, settings_items, MFS_ENABLED);
  fill_menu(app.help_menu, help_items, MFS_ENABLED);

  insert_item(app.menu_bar, 0, 0, t.menu_file, MFS_ENABLED, app.file_menu);
  insert_item(app.menu_bar, 1, 0, t.menu_edit, MFS_ENABLED, app.edit_menu);
  insert_item(app.menu_bar, 2, 0, t.menu_view, MFS_ENABLED, app.view_menu);
  insert_item(app.menu_bar, 3, 0, t.menu_settings, MFS_ENABLED, app.settings_menu);
  insert_item(app.menu_bar, 4, 0, t.menu_help, MFS_ENABLED, app.help_menu);
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

void enable_find_item(bool enabled) {
  EnableMenuItem(app.edit_menu, kEditFindPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void enable_view_items(bool enabled) {
  for (UINT position = 0; position < 4; ++position) {
    EnableMenuItem(app.view_menu, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  }
}

void enable_history_items(bool backward, bool forward) {
  EnableMenuItem(app.edit_menu, kEditStepBackwardPosition, MF_BYPOSITION | (backward ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(app.edit_menu, kEditStepForwardPosition, MF_BYPOSITION | (forward ? MF_ENABLED : MF_GRAYED));
}

void enable_select_all_item(bool enabled) {
  EnableMenuItem(app.edit_menu, kEditSelectAllPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void enable_crop_item(bool enabled) {
  EnableMenuItem(app.edit_menu, kEditCropPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

HACCEL create_accelerators() {
  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'O', kCmdOpen},
      {FVIRTKEY | FCONTROL, 'S', kCmdSave},
      {FVIRTKEY | FCONTROL | FSHIFT, 'S', kCmdSaveAs},
      {FVIRTKEY | FCONTROL, 'Z', kCmdUndo},
      {FVIRTKEY | FCONTROL, 'C', kCmdCopy},
      {FVIRTKEY | FCONTROL, 'V', kCmdPaste},
      {FVIRTKEY | FCONTROL, 'F', kCmdFind},
      {FVIRTKEY, VK_F1, kCmdHelp},
      // + is a shifted key on most layouts, = unshifted on some of them.
      {FVIRTKEY | FCONTROL, VK_OEM_PLUS, kCmdZoomIn},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_OEM_PLUS, kCmdZoomIn},
      {FVIRTKEY | FCONTROL, VK_ADD, kCmdZoomIn},
      {FVIRTKEY | FCONTROL, VK_OEM_MINUS, kCmdZoomOut},
      {FVIRTKEY | FCONTROL, VK_SUBTRACT, kCmdZoomOut},
      {FVIRTKEY | FCONTROL, '1', kCmdActualSize},
      {FVIRTKEY | FCONTROL, '0', kCmdFitToWindow},
      {FVIRTKEY, 'M', kCmdMosaic},
      {FVIRTKEY, 'B', kCmdBlur},
      {FVIRTKEY, 'D', kCmdDiffusion},
      {FVIRTKEY, 'S', kCmdScramble},
      {FVIRTKEY, 'F', kCmdFill},
      {FVIRTKEY | FSHIFT, 'M', kCmdSecureMosaic},
      {FVIRTKEY | FSHIFT, 'B', kCmdSecureBlur},
      {FVIRTKEY | FCONTROL | FALT, 'Z', kCmdStepBackward},
      {FVIRTKEY | FCONTROL | FSHIFT, 'Z', kCmdStepForward},
      {FVIRTKEY | FCONTROL, 'A', kCmdSelectAll},
      {FVIRTKEY | FCONTROL | FSHIFT, 'X', kCmdCrop},
      {FVIRTKEY, VK_LEFT, kCmdMoveLeft},
      {FVIRTKEY, VK_RIGHT, kCmdMoveRight},
      {FVIRTKEY, VK_UP, kCmdMoveUp},
      {FVIRTKEY, VK_DOWN, kCmdMoveDown},
      {FVIRTKEY | FSHIFT, VK_LEFT, kCmdMoveLeftFar},
      {FVIRTKEY | FSHIFT, VK_RIGHT, kCmdMoveRightFar},
      {FVIRTKEY | FSHIFT, VK_UP, kCmdMoveUpFar},
      {FVIRTKEY | FSHIFT, VK_DOWN, kCmdMoveDownFar},
      {FVIRTKEY | FCONTROL, VK_LEFT, kCmdSizeLeft},
      {FVIRTKEY | FCONTROL, VK_RIGHT, kCmdSizeRight},
      {FVIRTKEY | FCONTROL, VK_UP, kCmdSizeUp},
      {FVIRTKEY | FCONTROL, VK_DOWN, kCmdSizeDown},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_LEFT, kCmdSizeLeftFar},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_RIGHT, kCmdSizeRightFar},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_UP, kCmdSizeUpFar},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_DOWN, kCmdSizeDownFar},
      {FVIRTKEY, VK_ESCAPE, kCmdClearSelection},
  };
  return CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

}  // namespace murkel
