// Menus: records built from resources or item by item, their handles their
// addresses.
#include "platform/resources/resources.h"
#include "platform/window/menu_internal.h"

#include <memory>
#include <mutex>

namespace {

struct MenuItem {
  UINT flags = 0;        // MF_* type and state bits
  UINT id = 0;           // command id
  std::u16string text;   // caption
  HMENU popup = nullptr; // owned popup of an MF_POPUP item
};

// A menu's handle is the address of its record, and the record says what it
// is, so that another copy of the window system in the same process (the
// Inbox's menu extension links its own) can work on a menu this copy made,
// and the other way round: the extension inserts its popup into the host's
// menu. Records are never freed, only marked dead and reused by the copy
// that made them, so a destroyed handle stays safe to look at. Each copy
// guards the menus with its own lock; a host calls its extensions on the
// thread that owns the menu.
constexpr DWORD MENU_MAGIC = 0x756E654D; // "Menu": a live menu
constexpr DWORD DEAD_MENU = 0;           // destroyed

struct MenuTable;

struct Menu {
  DWORD magic = MENU_MAGIC;    // MENU_MAGIC while the menu lives
  MenuTable *owner = nullptr;  // the table of the copy that made it, which reuses it when dead
  bool popup = false;          // made by CreatePopupMenu (or a template's popup)
  std::vector<MenuItem> items; // in order
};

struct MenuTable {
  std::mutex lock;                           // guards everything below
  std::vector<std::unique_ptr<Menu>> records; // every record this copy made, live or dead
  std::vector<Menu *> dead;                  // records free for reuse
};

MenuTable &table()
{
  static MenuTable *t = new MenuTable; // never destroyed: menus may outlive static destruction
  return *t;
}

HMENU newMenuLocked(bool popup)
{
  MenuTable &t = table();
  Menu *m;
  if (!t.dead.empty()) {
    m = t.dead.back();
    t.dead.pop_back();
  } else {
    t.records.push_back(std::make_unique<Menu>());
    m = t.records.back().get();
    m->owner = &t;
  }
  m->magic = MENU_MAGIC;
  m->popup = popup;
  m->items.clear();
  return reinterpret_cast<HMENU>(m);
}

// The live menu a handle names. The lowest megabyte never holds a record,
// nor does a misaligned address; anything else must be a handle that a copy
// of this library gave out.
Menu *findLocked(HMENU menu)
{
  auto address = reinterpret_cast<UINT_PTR>(menu);
  if (address < 0x100000 || address % alignof(Menu) != 0)
    return nullptr;
  auto *m = reinterpret_cast<Menu *>(menu);
  return m->magic == MENU_MAGIC ? m : nullptr;
}

void destroyLocked(HMENU menu)
{
  Menu *m = findLocked(menu);
  if (!m)
    return;
  std::vector<HMENU> popups;
  for (const MenuItem &item : m->items)
    if (item.popup)
      popups.push_back(item.popup);
  m->magic = DEAD_MENU;
  m->items.clear();
  // Only the copy that made a record reuses it; one of another copy stays dead.
  if (m->owner == &table())
    table().dead.push_back(m);
  for (HMENU p : popups)
    destroyLocked(p);
}

void fillFromTemplate(Menu &menu, const MenuItemTemplate *items, std::size_t count)
{
  for (std::size_t i = 0; i < count; ++i) {
    MenuItem item;
    item.flags = items[i].flags;
    item.id = items[i].id;
    if (items[i].text)
      item.text = items[i].text;
    if (items[i].flags & MF_POPUP) {
      item.popup = newMenuLocked(true);
      fillFromTemplate(*findLocked(item.popup), items[i].popup, items[i].popupCount);
    }
    menu.items.push_back(std::move(item));
  }
}

// The item that a position or a command id names; with MF_BYCOMMAND the
// popups are searched too. Returns the menu that holds it and its index.
bool locateLocked(HMENU menu, UINT item, UINT flags, Menu **holder, std::size_t *index)
{
  Menu *m = findLocked(menu);
  if (!m)
    return false;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size())
      return false;
    *holder = m;
    *index = item;
    return true;
  }
  for (std::size_t i = 0; i < m->items.size(); ++i) {
    if (!(m->items[i].flags & MF_POPUP) && m->items[i].id == item) {
      *holder = m;
      *index = i;
      return true;
    }
    if (m->items[i].popup && locateLocked(m->items[i].popup, item, flags, holder, index))
      return true;
  }
  return false;
}

bool removeItem(HMENU menu, UINT position, UINT flags, bool destroyPopup)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *holder;
  std::size_t index;
  if (!locateLocked(menu, position, flags, &holder, &index))
    return false;
  HMENU popup = holder->items[index].popup;
  holder->items.erase(holder->items.begin() + static_cast<std::ptrdiff_t>(index));
  if (popup && destroyPopup)
    destroyLocked(popup);
  return true;
}

} // namespace

HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName)
{
  const MenuTemplate *tpl = findMenuTemplate(hInstance, lpMenuName);
  if (!tpl)
    return nullptr;
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  HMENU menu = newMenuLocked(false);
  fillFromTemplate(*findLocked(menu), tpl->items, tpl->itemCount);
  return menu;
}

HMENU CreateMenu()
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  return newMenuLocked(false);
}

HMENU CreatePopupMenu()
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  return newMenuLocked(true);
}

BOOL DestroyMenu(HMENU hMenu)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (!findLocked(hMenu))
    return FALSE;
  destroyLocked(hMenu);
  return TRUE;
}

BOOL IsMenu(HMENU hMenu)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  return findLocked(hMenu) ? TRUE : FALSE;
}

BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *m = findLocked(hMenu);
  if (!m)
    return FALSE;
  MenuItem item;
  item.flags = uFlags & ~MF_BYPOSITION;
  if (uFlags & MF_POPUP) {
    item.popup = reinterpret_cast<HMENU>(uIDNewItem);
    if (!findLocked(item.popup) || item.popup == hMenu)
      return FALSE;
  } else {
    item.id = static_cast<UINT>(uIDNewItem);
  }
  if (!(uFlags & MF_SEPARATOR) && lpNewItem)
    item.text = lpNewItem;
  std::size_t at = m->items.size();
  if (uFlags & MF_BYPOSITION) {
    if (uPosition < m->items.size())
      at = uPosition;
  } else {
    for (std::size_t i = 0; i < m->items.size(); ++i)
      if (!(m->items[i].flags & MF_POPUP) && m->items[i].id == uPosition) {
        at = i;
        break;
      }
  }
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return TRUE;
}

BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
{
  return InsertMenuW(hMenu, static_cast<UINT>(-1), uFlags | MF_BYPOSITION, uIDNewItem, lpNewItem);
}

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
  return removeItem(hMenu, uPosition, uFlags, true) ? TRUE : FALSE;
}

BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
  return removeItem(hMenu, uPosition, uFlags, false) ? TRUE : FALSE;
}

BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *holder;
  std::size_t index;
  if (!locateLocked(hMenu, uIDEnableItem, uEnable, &holder, &index))
    return -1;
  MenuItem &item = holder->items[index];
  UINT previous = item.flags & (MF_GRAYED | MF_DISABLED);
  item.flags = (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
  return static_cast<BOOL>(previous);
}

BOOL GetMenuItemInfoW(HMENU hMenu, UINT item, BOOL fByPosition, LPMENUITEMINFOW lpmii)
{
  if (!lpmii)
    return FALSE;
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *holder;
  std::size_t index;
  if (!locateLocked(hMenu, item, fByPosition ? MF_BYPOSITION : MF_BYCOMMAND, &holder, &index))
    return FALSE;
  const MenuItem &it = holder->items[index];
  if (lpmii->fMask & MIIM_ID)
    lpmii->wID = it.id;
  if (lpmii->fMask & MIIM_SUBMENU)
    lpmii->hSubMenu = it.popup;
  if (lpmii->fMask & MIIM_STATE)
    lpmii->fState = (it.flags & (MF_GRAYED | MF_DISABLED)) ? MFS_GRAYED : MFS_ENABLED;
  if (lpmii->fMask & MIIM_TYPE) {
    lpmii->fType = (it.flags & MF_SEPARATOR) ? MFT_SEPARATOR : MFT_STRING;
    if (lpmii->dwTypeData && lpmii->cch > 0) {
      std::size_t n = std::min<std::size_t>(it.text.size(), lpmii->cch - 1);
      it.text.copy(lpmii->dwTypeData, n);
      lpmii->dwTypeData[n] = 0;
    }
    lpmii->cch = static_cast<UINT>(it.text.size());
  }
  return TRUE;
}

int GetMenuItemCount(HMENU hMenu)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *m = findLocked(hMenu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

HMENU GetSubMenu(HMENU hMenu, int nPos)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *m = findLocked(hMenu);
  if (!m || nPos < 0 || static_cast<std::size_t>(nPos) >= m->items.size())
    return nullptr;
  return m->items[static_cast<std::size_t>(nPos)].popup;
}

UINT GetMenuItemID(HMENU hMenu, int nPos)
{
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Menu *m = findLocked(hMenu);
  if (!m || nPos < 0 || static_cast<std::size_t>(nPos) >= m->items.size())
    return static_cast<UINT>(-1);
  const MenuItem &item = m->items[static_cast<std::size_t>(nPos)];
  return item.popup ? static_cast<UINT>(-1) : item.id;
}

std::vector<MenuItemView> menuItems(HMENU menu)
{
  std::vector<MenuItemView> out;
  MenuTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (Menu *m = findLocked(menu))
    for (const MenuItem &item : m->items)
      out.push_back(MenuItemView{item.flags, item.id, item.text, item.popup});
  return out;
}
