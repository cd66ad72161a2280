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
  kCmdCrop = 2011,
  kCmdStepBackward = 2012,
  kCmdStepForward = 2013,
  kCmdSelectAll = 2014,
  // Keys without a menu item: the selection moved by 1 (Shift: 10) picture
  // pixels, or its right and bottom edges (Ctrl, Ctrl+Shift), and cleared (Esc).
  kCmdMoveLeft = 2101,
  kCmdMoveRight = 2102,
  kCmdMoveUp = 2103,
  kCmdMoveDown = 2104,
  kCmdMoveLeftFar = 2111,
  kCmdMoveRightFar = 2112,
  kCmdMoveUpFar = 2113,
  kCmdMoveDownFar = 2114,
  kCmdSizeLeft = 2121,
  kCmdSizeRight = 2122,
  kCmdSizeUp = 2123,
  kCmdSizeDown = 2124,
  kCmdSizeLeftFar = 2131,
  kCmdSizeRightFar = 2132,
  kCmdSizeUpFar = 2133,
  kCmdSizeDownFar = 2134,
  kCmdClearSelection = 2140,
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
// and the two secure ones, then a separator, Copy and Paste, a separator,
// Find and hide, a separator, Step backward, Step forward, Select all and Crop.
inline constexpr UINT kEditUndoPosition = 0;
inline constexpr UINT kEditFirstEffectPosition = 2;
inline constexpr UINT kEditLastEffectPosition = 8;
inline constexpr UINT kEditCopyPosition = 10;
inline constexpr UINT kEditPastePosition = 11;
inline constexpr UINT kEditFindPosition = 13;
inline constexpr UINT kEditStepBackwardPosition = 15;
inline constexpr UINT kEditStepForwardPosition = 16;
inline constexpr UINT kEditSelectAllPosition = 17;
inline constexpr UINT kEditCropPosition = 18;

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
// Step backward and Step forward, enabled where the history has a step that way.
void enable_history_items(bool backward, bool forward);
// Select all (a picture open) and Crop (a selection with pixels of the picture).
void enable_select_all_item(bool enabled);
void enable_crop_item(bool enabled);

// The editor's keys, for the main window's message loop: Ctrl+O Open,
// Ctrl+S Save, Ctrl+Shift+S Save As, Ctrl+Z Undo, Ctrl+C Copy, Ctrl+V Paste,
// Ctrl+F Find and hide, F1 Help; Ctrl++ (also Ctrl+= and the keypad's +) Zoom in, Ctrl+- (and the
// keypad's -) Zoom out, Ctrl+1 Actual size, Ctrl+0 Fit to window; M, B, D,
// S, F the five effects, Shift+M and Shift+B the secure ones; Ctrl+Alt+Z
// Step backward, Ctrl+Shift+Z Step forward, Ctrl+A Select all, Ctrl+Shift+X
// Crop; the arrows (with Shift, Ctrl, Ctrl+Shift) and Esc for the
// selection. A key of a menu item acts only while the item is enabled.
HACCEL create_accelerators();

}  // namespace murkel
