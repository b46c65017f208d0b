// Inside the window system: menus as the popup and the softkey bar read
// them. Not for use outside platform/window.
#pragma once

#include "platform/window/menu.h"

#include <string>
#include <vector>

// One item of a menu, as read.
struct MenuItemView {
  UINT flags = 0;        // MF_POPUP, MF_SEPARATOR, MF_GRAYED / MF_DISABLED
  UINT id = 0;           // command id
  std::u16string text;   // caption
  HMENU popup = nullptr; // MF_POPUP: the popup
};

// The menu's items, in order; empty for a bad handle.
std::vector<MenuItemView> menuItems(HMENU menu);
