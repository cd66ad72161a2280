// The menu bar and the enabling of Edit menu items by position.
#pragma once

#include <windows.h>

namespace murkel {

// Builds the menu bar and its four drop-down menus into the Application
// state; the Edit menu starts grayed. The caller attaches it with SetMenu.
void create_menu_bar();

void enable_undo_item(bool enabled);
void enable_effect_items(bool enabled);

}  // namespace murkel
