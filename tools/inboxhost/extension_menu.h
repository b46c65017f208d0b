// The Inbox's menus of its message list as its extensions build them: every
// extension registered for the menu is created through CoCreateInstance,
// given the site, and asked to add its items; a chosen item is carried out
// by the extension that added it, named by its text.
#pragma once

#include "platform/shell/menu_extension.h"

#include <string>
#include <vector>

// The Inbox's extension keys under HKEY_LOCAL_MACHINE, one per menu of the
// message list; each subkey is named by an extension's class id.
constexpr const WCHAR *SOFTKEY_MENU_EXTENSIONS =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View";
constexpr const WCHAR *CONTEXT_MENU_EXTENSIONS =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View_Context";

// One extension in a menu, and the command ids it was given.
struct MenuExtension {
  IContextMenu *menu = nullptr; // referenced; holds the site
  UINT firstId = 0;             // idCmdFirst it was given
  UINT lastId = 0;              // idCmdLast it was given
};

struct ExtensionMenu {
  HMENU menu = nullptr;                  // the host's popup menu with the extensions' items
  bool ownsMenu = true;                  // the menu was made for this and goes with it
  std::vector<MenuExtension> extensions; // those that added their items, in key order
  std::vector<std::string> problems;     // extensions that could not be loaded or refused
};

// Builds the menu for the selection held by site: each extension registered
// under menuKey adds its items at the end. COM must be initialised on the
// calling thread.
ExtensionMenu buildExtensionMenu(const WCHAR *menuKey, IUnknown *site);

// The same into a menu of the caller's (a softkey's popup): each extension
// adds its items before the item at position `before` (counted from the
// end: 0 is after the last item, 1 before the last ...). The menu stays the
// caller's.
ExtensionMenu fillExtensionMenu(HMENU menu, int before, const WCHAR *menuKey, IUnknown *site);

// Releases the extensions, and destroys the menu (with their popups) when
// it was made for them.
void releaseExtensionMenu(ExtensionMenu &menu);

// One item of a menu as the host shows it.
struct ShownItem {
  int depth = 0;       // 0 for the menu's own items, 1 inside a popup ...
  std::u16string text; // caption
  UINT id = 0;         // command id (popups: 0)
  bool popup = false;  // opens a popup
  bool greyed = false; // cannot be chosen
};

// The menu's items in order, each popup followed by its own items.
std::vector<ShownItem> shownItems(HMENU menu);

// What choosing an item gave.
enum class InvokeOutcome {
  Invoked,  // the extension was asked; hr holds its answer
  NoItem,   // no item has this text
  Greyed,   // the item cannot be chosen
};

// Chooses the first command item whose text is `text`: InvokeCommand of the
// extension that added it, with the text as the verb.
InvokeOutcome invokeByText(const ExtensionMenu &menu, const std::u16string &text, HRESULT *hr);

// Chooses the command item of id `id` (as TrackPopupMenuEx gives it) the
// same way: the extension whose range holds the id is named the item's text.
InvokeOutcome invokeById(const ExtensionMenu &menu, UINT id, HRESULT *hr);
