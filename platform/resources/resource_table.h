// A module's resources as lookups see them: the string table, dialog
// templates, menus and bitmaps, keyed by their ids.
#pragma once

#include "platform/base/types.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// One control of a dialog template. Positions are in dialog units.
struct DialogItemTemplate {
  LPCWSTR className; // "BUTTON", "STATIC", "EDIT", "COMBOBOX", "SysListView32" or a registered class
  LPCWSTR text;      // caption; for a picture static MAKEINTRESOURCEW(bitmap or icon id); may be null
  WORD id;           // control id; 0xFFFF (-1) for a static that nobody addresses
  DWORD style;       // WS_* and the class's own styles; WS_CHILD is implied
  DWORD exStyle;     // WS_EX_* and the class's extended styles
  short x;           // left
  short y;           // top
  short cx;          // width
  short cy;          // height (a combo box's: with its list dropped down)
};

// A dialog template, the compiled form of a resource script's DIALOG.
struct DialogTemplate {
  UINT id;                         // resource id
  DWORD style;                     // WS_* and DS_* styles
  DWORD exStyle;                   // extended styles
  short x;                         // left, dialog units
  short y;                         // top
  short cx;                        // width
  short cy;                        // height
  LPCWSTR className;               // the template's class name (informative; may be null)
  LPCWSTR caption;                 // title; may be null
  LPCWSTR fontName;                // "System"; the base units are the platform's (docs/window.md)
  WORD pointSize;                  // 8
  const DialogItemTemplate *items; // the controls, in tab order
  std::size_t itemCount;           // how many
};

// One item of a menu template: a command, a separator or a popup.
struct MenuItemTemplate {
  UINT flags;                      // MF_STRING, MF_SEPARATOR, MF_POPUP, MF_GRAYED (menu.h)
  UINT id;                         // command id (0 for separators and popups)
  LPCWSTR text;                    // caption; null for a separator
  const MenuItemTemplate *popup;   // MF_POPUP: the popup's items
  std::size_t popupCount;          // how many
};

// A menu template, the compiled form of a resource script's MENU.
struct MenuTemplate {
  UINT id;                         // resource id
  const MenuItemTemplate *items;   // top-level items
  std::size_t itemCount;           // how many
};

// A bitmap as the displays draw it: there are no pixels to show on a
// terminal, so a bitmap resource is a short text picture.
struct BitmapResource {
  UINT id;          // resource id
  LPCWSTR picture;  // the text drawn in its place
};

struct ResourceTable {
  std::map<UINT, std::u16string> strings;        // string table: id -> text
  std::map<UINT, const DialogTemplate *> dialogs; // dialog templates (compiled in only)
  std::map<UINT, const MenuTemplate *> menus;     // menus (compiled in only)
  std::map<UINT, const BitmapResource *> bitmaps; // bitmaps (compiled in only)
};

// One entry of a string table compiled into a deliverable.
struct StringResource {
  UINT id;           // string id
  const WCHAR *text; // its text, terminated
};

// The resources compiled into a deliverable, as registerResources takes them.
struct CompiledResources {
  const StringResource *strings;  // the string table
  std::size_t stringCount;        // its entries
  const DialogTemplate *dialogs;  // dialog templates; may be null
  std::size_t dialogCount;        // their number
  const MenuTemplate *menus;      // menus; may be null
  std::size_t menuCount;          // their number
  const BitmapResource *bitmaps;  // bitmaps; may be null
  std::size_t bitmapCount;        // their number
};

// Parses a language resource file (the format is in docs/platform.md):
// UTF-8 lines "<id> = <text>" in a [strings] section. Never fails: lines it
// cannot read are skipped; a later line for the same id wins.
ResourceTable parseLanguageFile(std::string_view bytes);
