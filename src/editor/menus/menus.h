// The menu bar, its command identifiers and the enabling of Edit menu items by position.
#pragma once

#include <windows.h>

namespace murkel {

// Menu command identifiers, grouped by menu in blocks of a thousand.
enum Command : WORD {
  kCmdOpen = 1001,
  kCmdSave = 1002,
  kCmdSaveAs = 1003,
  kCmdRevert = 1004,
  kCmdExit = 1005,
  kCmdMosaic = 2000,
  kCmdBlur = 2001,
  kCmdDiffusion = 2002,
  kCmdScramble = 2003,
  kCmdFill = 2004,
  kCmdUndo = 2005,
  kCmdCopy = 2006,
  kCmdPaste = 2007,
  kCmdSecureMosaic = 2008,
  kCmdSecureBlur = 2009,
  kCmdFind = 2010,
  kCmdMosaicSettings = 3000,
  kCmdBlurSettings = 3001,
  kCmdScrambleSettings = 3002,
  kCmdFillColour = 3003,
  kCmdHelp = 4001,
  kCmdVersion = 4002,
  kCmdZoomIn = 5001,
  kCmdZoomOut = 5002,
  kCmdActualSize = 5003,
  kCmdFitToWindow = 5004,
};

// Edit menu positions: Undo first, then a separator, then the five effects
// and the two secure ones, then a separator, Copy and Paste, a separator and
// Find and hide.
inline constexpr UINT kEditUndoPosition = 0;
inline constexpr UINT kEditFirstEffectPosition = 2;
inline constexpr UINT kEditLastEffectPosition = 8;
inline constexpr UINT kEditCopyPosition = 10;
inline constexpr UINT kEditPastePosition = 11;
inline constexpr UINT kEditFindPosition = 13;

// Builds the menu bar and its five drop-down menus (File, Edit, View,
// Settings, Help) into the Application state; the Edit and View menus start
// grayed. The caller attaches it with SetMenu.
void create_menu_bar();

void enable_undo_item(bool enabled);
void enable_effect_items(bool enabled);
void enable_clipboard_items(bool copy, bool paste);
// Find and hide, enabled while a picture is open.
void enable_find_item(bool enabled);
// The View menu's four items, enabled while a picture is open.
void enable_view_items(bool enabled);

// The editor's keys, for the main window's message loop: Ctrl+O Open,
// Ctrl+S Save, Ctrl+Shift+S Save As, Ctrl+Z Undo, Ctrl+C Copy, Ctrl+V Paste,
// Ctrl+F Find and hide, F1 Help; Ctrl++ (also Ctrl+= and the keypad's +) Zoom in, Ctrl+- (and the
// keypad's -) Zoom out, Ctrl+1 Actual size, Ctrl+0 Fit to window. A key acts
// only while its menu item is enabled.
HACCEL create_accelerators();

}  // namespace murkel
