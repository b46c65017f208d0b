// The "Sorrelby" popup in the host's menu.
#include "inboxmenu/extension_object.h"
#include "inboxmenu/server.h"
#include "platform/text/wstr.h"
#include "platform/window/menu.h"

#include <new>

namespace {

constexpr UINT COMMAND_TEXT_UNITS = 30;  // a command's text as the popup shows it
constexpr UINT ITEM_TEXT_UNITS = 1024;   // an item of the host's menu, when compared

} // namespace

HRESULT InboxMenuExtension::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                             UINT)
{
  // The menus may run out of memory; the host gets an HRESULT, never an exception.
  try {
    return addPopup(hmenu, indexMenu, idCmdFirst, idCmdLast);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
}

HRESULT InboxMenuExtension::addPopup(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast)
{
  for (UINT i = 0; i < 5; ++i)
    commandIds[i] = idCmdFirst + i;
  if (idCmdFirst + 4 > idCmdLast || idCmdFirst + 4 < idCmdFirst)
    return E_FAIL; // the host's id range is too small
  if (kind != KIND_CONTEXT_MENU && kind != KIND_SOFTKEY_MENU)
    return S_OK;
  if (!popup) {
    HRESULT hr = buildPopup();
    if (FAILED(hr))
      return hr;
  }
  UINT state = selectionIsUsable() ? MF_ENABLED : MF_GRAYED;
  for (UINT i = 1; i < 5; ++i)
    (void)EnableMenuItem(popup, commandIds[i], MF_BYCOMMAND | state); // the items are there
  WCHAR caption[COMMAND_TEXT_UNITS];
  HRESULT hr = commandText(commandIds[0], caption, COMMAND_TEXT_UNITS);
  if (FAILED(hr))
    return hr;
  removeEarlierPopups(hmenu, indexMenu);
  if (!InsertMenuW(hmenu, indexMenu, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), caption))
    return E_FAIL;
  return S_OK;
}

HRESULT InboxMenuExtension::buildPopup()
{
  HMENU menu = CreatePopupMenu();
  if (!menu)
    return E_FAIL;
  for (UINT i = 1; i < 5; ++i) {
    WCHAR text[COMMAND_TEXT_UNITS];
    HRESULT hr = commandText(commandIds[i], text, COMMAND_TEXT_UNITS);
    if (FAILED(hr) || !InsertMenuW(menu, i - 1, MF_BYPOSITION | MF_STRING, commandIds[i], text)) {
      (void)DestroyMenu(menu); // never handed to anyone
      return FAILED(hr) ? hr : E_FAIL;
    }
  }
  popup = menu;
  return S_OK;
}

void InboxMenuExtension::removeEarlierPopups(HMENU hmenu, UINT index)
{
  // An item removed shifts the later ones down: the same position is looked
  // at again, so two earlier popups in a row both go. This object's own
  // popup, inserted by an earlier call, is taken out wherever it is (it is
  // inserted again at once), and never destroyed.
  for (UINT p = 0;;) {
    WCHAR text[ITEM_TEXT_UNITS];
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE | MIIM_SUBMENU;
    item.dwTypeData = text;
    item.cch = ITEM_TEXT_UNITS;
    if (!GetMenuItemInfoW(hmenu, p, TRUE, &item))
      return;
    bool own = item.hSubMenu && item.hSubMenu == popup;
    bool earlier = p < index && item.hSubMenu && wstrCmp(text, POPUP_CAPTION) == 0;
    if ((own || earlier) && RemoveMenu(hmenu, p, MF_BYPOSITION)) {
      // Taken out first, then destroyed: the host's menu never holds a
      // destroyed popup.
      if (!own)
        (void)DestroyMenu(item.hSubMenu);
      continue;
    }
    ++p;
  }
}
