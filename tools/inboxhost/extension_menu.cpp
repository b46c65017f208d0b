#include "tools/inboxhost/extension_menu.h"

#include "platform/com/com.h"
#include "platform/com/guidtext.h"
#include "platform/registry/registry.h"
#include "platform/text/wstr.h"
#include "platform/window/lend.h"
#include "platform/window/menu.h"

#include <cstdio>

namespace {

constexpr UINT FIRST_EXTENSION_ID = 0x1000; // the host's own commands stay below
constexpr UINT IDS_PER_EXTENSION = 0x100;
constexpr DWORD KEY_NAME_UNITS = 256;
constexpr UINT ITEM_TEXT_UNITS = 1024;

std::string hex(HRESULT hr)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// The class ids named by the subkeys of the menu's key, in key order.
std::vector<std::u16string> registeredClasses(const WCHAR *menuKey)
{
  std::vector<std::u16string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, menuKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[KEY_NAME_UNITS];
    DWORD units = KEY_NAME_UNITS;
    if (RegEnumKeyExW(key, i, name, &units, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, units);
  }
  (void)RegCloseKey(key); // opened for reading
  return names;
}

// Creates the extension of one class, gives it the site and asks for its
// menu interface. The problem in words on failure.
IContextMenu *createExtension(const std::u16string &name, IUnknown *site, std::string *problem)
{
  CLSID clsid;
  if (FAILED(CLSIDFromString(name.c_str(), &clsid))) {
    *problem = utf16ToUtf8(name) + ": not a class id";
    return nullptr;
  }
  void *object = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object);
  if (FAILED(hr)) {
    *problem = utf16ToUtf8(name) + ": cannot be created (" + hex(hr) + ")";
    return nullptr;
  }
  auto *unknown = static_cast<IUnknown *>(object);
  void *withSite = nullptr;
  if (SUCCEEDED(unknown->QueryInterface(IID_IObjectWithSite, &withSite))) {
    (void)static_cast<IObjectWithSite *>(withSite)->SetSite(site); // always S_OK
    static_cast<IObjectWithSite *>(withSite)->Release();
  }
  void *menu = nullptr;
  hr = unknown->QueryInterface(IID_IContextMenu, &menu);
  unknown->Release();
  if (FAILED(hr)) {
    *problem = utf16ToUtf8(name) + ": has no menu interface";
    return nullptr;
  }
  return static_cast<IContextMenu *>(menu);
}

// Gives an extension its site back before the last release, so that
// neither keeps the other.
void releaseExtension(IContextMenu *menu)
{
  void *withSite = nullptr;
  if (SUCCEEDED(menu->QueryInterface(IID_IObjectWithSite, &withSite))) {
    (void)static_cast<IObjectWithSite *>(withSite)->SetSite(nullptr);
    static_cast<IObjectWithSite *>(withSite)->Release();
  }
  menu->Release();
}

void collect(HMENU menu, int depth, std::vector<ShownItem> *out)
{
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    WCHAR text[ITEM_TEXT_UNITS];
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE | MIIM_SUBMENU | MIIM_STATE | MIIM_ID;
    info.dwTypeData = text;
    info.cch = ITEM_TEXT_UNITS;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info))
      continue;
    if (info.fType & MFT_SEPARATOR)
      continue;
    out->push_back(ShownItem{depth, text, info.hSubMenu ? 0 : info.wID, info.hSubMenu != nullptr,
                             (info.fState & MFS_GRAYED) != 0});
    if (info.hSubMenu)
      collect(info.hSubMenu, depth + 1, out);
  }
}

// The command item the user chose: InvokeCommand of the extension whose
// range holds its id, named by the item's text.
InvokeOutcome invoke(const ExtensionMenu &menu, const ShownItem &item, HRESULT *hr)
{
  if (item.greyed)
    return InvokeOutcome::Greyed;
  for (const MenuExtension &e : menu.extensions) {
    if (item.id < e.firstId || item.id > e.lastId)
      continue;
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = item.text.c_str();
    // The command may lend the terminal to the program (the rule editor of
    // "Create Filter..." is shown there): the host's screen keeps off it
    // meanwhile and is drawn again after.
    terminalPutAside();
    *hr = e.menu->InvokeCommand(&info);
    terminalTakenBack();
    return InvokeOutcome::Invoked;
  }
  return InvokeOutcome::NoItem;
}

} // namespace

ExtensionMenu buildExtensionMenu(const WCHAR *menuKey, IUnknown *site)
{
  HMENU menu = CreatePopupMenu();
  if (!menu) {
    ExtensionMenu result;
    result.problems.push_back("no menu could be made");
    return result;
  }
  ExtensionMenu result = fillExtensionMenu(menu, 0, menuKey, site);
  result.ownsMenu = true;
  return result;
}

ExtensionMenu fillExtensionMenu(HMENU menu, int before, const WCHAR *menuKey, IUnknown *site)
{
  ExtensionMenu result;
  result.menu = menu;
  result.ownsMenu = false;
  UINT first = FIRST_EXTENSION_ID;
  for (const std::u16string &name : registeredClasses(menuKey)) {
    std::string problem;
    IContextMenu *menu = createExtension(name, site, &problem);
    if (!menu) {
      result.problems.push_back(problem);
      continue;
    }
    UINT last = first + IDS_PER_EXTENSION - 1;
    int at = GetMenuItemCount(result.menu) - before;
    HRESULT hr = menu->QueryContextMenu(result.menu, static_cast<UINT>(at < 0 ? 0 : at), first, last, CMF_NORMAL);
    if (FAILED(hr)) {
      result.problems.push_back(utf16ToUtf8(name) + ": added no items (" + hex(hr) + ")");
      releaseExtension(menu);
      continue;
    }
    result.extensions.push_back(MenuExtension{menu, first, last});
    first += IDS_PER_EXTENSION;
  }
  return result;
}

void releaseExtensionMenu(ExtensionMenu &menu)
{
  for (MenuExtension &e : menu.extensions)
    releaseExtension(e.menu);
  menu.extensions.clear();
  if (menu.menu && menu.ownsMenu)
    (void)DestroyMenu(menu.menu); // the host's own menu, with the popups inserted into it
  menu.menu = nullptr;
}

std::vector<ShownItem> shownItems(HMENU menu)
{
  std::vector<ShownItem> items;
  collect(menu, 0, &items);
  return items;
}

InvokeOutcome invokeByText(const ExtensionMenu &menu, const std::u16string &text, HRESULT *hr)
{
  for (const ShownItem &item : shownItems(menu.menu))
    if (!item.popup && item.text == text)
      return invoke(menu, item, hr);
  return InvokeOutcome::NoItem;
}

InvokeOutcome invokeById(const ExtensionMenu &menu, UINT id, HRESULT *hr)
{
  for (const ShownItem &item : shownItems(menu.menu))
    if (!item.popup && item.id == id)
      return invoke(menu, item, hr);
  return InvokeOutcome::NoItem;
}
