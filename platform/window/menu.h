// Menus: menu resources, popup menus built at run time, and showing a popup
// at a place on the screen (TrackPopupMenuEx). A menu handle lives until
// DestroyMenu; a popup inserted into another menu is destroyed with it.
//
// Names and values are the handheld's; differences are in docs/window.md.
#pragma once

#include "platform/window/window.h"

// Item flags (InsertMenuW, AppendMenuW, menu templates) and states.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

// GetMenuItemInfoW.
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_TYPE = 0x0010;
constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_SEPARATOR = 0x0800;
constexpr UINT MFS_ENABLED = 0x0000;
constexpr UINT MFS_GRAYED = 0x0003;

struct MENUITEMINFOW {
  UINT cbSize;          // sizeof(MENUITEMINFOW)
  UINT fMask;           // MIIM_*: which fields are wanted
  UINT fType;           // MFT_STRING or MFT_SEPARATOR
  UINT fState;          // MFS_*
  UINT wID;             // command id
  HMENU hSubMenu;       // popup of the item, or null
  HANDLE hbmpChecked;   // unused
  HANDLE hbmpUnchecked; // unused
  ULONG_PTR dwItemData; // unused
  LPWSTR dwTypeData;    // MIIM_TYPE: buffer for the text
  UINT cch;             // MIIM_TYPE: the buffer's size in units; out: the text's length
};
using LPMENUITEMINFOW = MENUITEMINFOW *;

// TrackPopupMenuEx flags.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// A menu of module's resources (MAKEINTRESOURCEW(id)): a new menu whose
// top-level items are the template's. Null when there is none.
HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
// An empty menu bar, or popup.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys a menu and the popups of its items. FALSE for a bad handle.
BOOL DestroyMenu(HMENU hMenu);
BOOL IsMenu(HMENU hMenu);

// Inserts an item before uPosition (MF_BYPOSITION; -1 or past the end:
// at the end) or before the item with command id uPosition. With MF_POPUP,
// uIDNewItem is the popup's handle, which the menu then owns; with
// MF_SEPARATOR the text is not read.
BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
// Removes an item and destroys its popup (DeleteMenu) or leaves the popup
// to the caller (RemoveMenu).
BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
// Greys or enables an item (MF_GRAYED, MF_DISABLED, MF_ENABLED with
// MF_BYCOMMAND, searching popups too, or MF_BYPOSITION). Returns the
// previous state, -1 when there is no such item.
BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
// Reads an item by position (fByPosition) or command id.
BOOL GetMenuItemInfoW(HMENU hMenu, UINT item, BOOL fByPosition, LPMENUITEMINFOW lpmii);
int GetMenuItemCount(HMENU hMenu);
HMENU GetSubMenu(HMENU hMenu, int nPos);
UINT GetMenuItemID(HMENU hMenu, int nPos);

// Shows the popup at x, y (screen pixels) and lets the user choose an item,
// on the calling thread's nested loop. Each popup that opens (this one, and
// a popup item's popup) is first sent to hWnd as WM_INITMENUPOPUP (wParam
// the popup), so that its owner may fill it. The chosen command is posted to
// hWnd as WM_COMMAND (or returned with TPM_RETURNCMD). Returns TRUE (or the
// command) when an item was chosen, 0 when the menu was closed without a
// choice or the display cannot show menus.
BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, void *lptpm);
BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                    const RECT *prcRect);
