// Showing a popup menu: a popup window over the screen, with the keyboard
// focus while it is open, run in a nested loop until an item is chosen or
// the menu is closed. Up and Down move, Enter or a tap chooses, Escape or a
// tap beside it closes it. A submenu opens over its menu (Enter, Right or a
// tap on its item); Escape or Left there goes back to the menu it came from.
#include "platform/window/canvas.h"
#include "platform/window/display.h"
#include "platform/window/menu_internal.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

constexpr const WCHAR *POPUP_MENU_CLASS = u"#32768";

struct Tracking {
  std::vector<MenuItemView> items; // what the menu holds
  int hot = -1;                    // the marked item
  bool done = false;               // chosen or closed
  int chosen = -1;                 // the item chosen, -1 for none
  bool back = false;               // closed to go back to the menu it came from
};

bool selectable(const MenuItemView &item)
{
  return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
}

void step(Tracking &t, int direction)
{
  const int n = static_cast<int>(t.items.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((t.hot + direction * k) % n + n) % n;
    if (selectable(t.items[static_cast<std::size_t>(i)])) {
      t.hot = i;
      markScreenDirty();
      return;
    }
  }
}

LRESULT popupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto *t = reinterpret_cast<Tracking *>(GetWindowLongPtrW(hwnd, 0));
  switch (message) {
  case WM_NCCREATE:
    SetWindowLongPtrW(hwnd, 0,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams));
    return TRUE;
  case WM_KEYDOWN:
    if (!t)
      return 0;
    switch (wParam) {
    case VK_UP:
      step(*t, -1);
      break;
    case VK_DOWN:
    case VK_TAB:
      step(*t, 1);
      break;
    case VK_RETURN:
    case VK_SPACE:
      if (t->hot >= 0) {
        t->chosen = t->hot;
        t->done = true;
      }
      break;
    case VK_RIGHT:
      if (t->hot >= 0 && t->items[static_cast<std::size_t>(t->hot)].popup) {
        t->chosen = t->hot;
        t->done = true;
      }
      break;
    case VK_ESCAPE:
    case VK_LEFT:
      t->back = true;
      t->done = true;
      break;
    case VK_F1:
    case VK_F2:
      t->done = true;
      break;
    default:
      break;
    }
    return 0;
  case WM_LBUTTONUP: {
    if (!t)
      return 0;
    int index = GET_Y_LPARAM(lParam) / DISPLAY_CELL_HEIGHT - 1;
    if (index >= 0 && index < static_cast<int>(t->items.size()) && selectable(t->items[static_cast<std::size_t>(index)])) {
      t->chosen = index;
      t->done = true;
    }
    return 0;
  }
  case WM_CLOSE:
    if (t)
      t->done = true;
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintPopup(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  auto *t = reinterpret_cast<Tracking *>(GetWindowLongPtrW(hwnd, 0));
  if (!t)
    return;
  canvas.fill(cells, CELL_FIELD);
  canvas.frame(cells, CELL_FRAME);
  for (int i = 0; i < static_cast<int>(t->items.size()) && i < cells.height() - 2; ++i) {
    const MenuItemView &item = t->items[static_cast<std::size_t>(i)];
    const int row = cells.top + 1 + i;
    if (item.flags & MF_SEPARATOR) {
      for (int col = cells.left + 1; col < cells.right - 1; ++col)
        canvas.put(col, row, U'─', CELL_FRAME);
      continue;
    }
    BYTE attr = CELL_FIELD;
    if (i == t->hot)
      attr = CELL_FOCUS;
    else if (!selectable(item))
      attr = CELL_DISABLED;
    canvas.fill(CellRect{cells.left + 1, row, cells.right - 1, row + 1}, attr);
    canvas.text(cells.left + 2, row, item.text, cells.width() - 3, attr);
    if (item.popup)
      canvas.put(cells.right - 2, row, U'►', attr);
  }
}

// Where the popup goes: at x, y as the flags align it, kept on the screen.
RECT placement(const Tracking &t, UINT flags, int x, int y)
{
  int widest = 0;
  for (const MenuItemView &item : t.items)
    widest = std::max(widest, static_cast<int>(item.text.size()));
  const int cx = (widest + 4) * DISPLAY_CELL_WIDTH;
  const int cy = (static_cast<int>(t.items.size()) + 2) * DISPLAY_CELL_HEIGHT;
  int sx, sy;
  displayScreenSize(&sx, &sy);
  int left = (flags & TPM_RIGHTALIGN) ? x - cx : x;
  int top = (flags & TPM_BOTTOMALIGN) ? y - cy : y;
  left = std::clamp(left, 0, std::max(0, sx - cx));
  top = std::clamp(top, DISPLAY_CELL_HEIGHT, std::max(DISPLAY_CELL_HEIGHT, sy - DISPLAY_CELL_HEIGHT - cy));
  return RECT{left, top, left + cx, top + cy};
}

// Runs one popup; returns the command chosen, or 0. The owner may fill the
// popup when it is told that it opens (WM_INITMENUPOPUP, wParam the popup,
// lParam its position in the menu it came from). *back says whether it was
// closed to go back to that menu rather than closed for good.
UINT track(HMENU menu, UINT flags, int x, int y, HWND owner, int position, bool *back)
{
  SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), static_cast<LPARAM>(position));
  if (!IsMenu(menu))
    return 0;
  Tracking t;
  t.items = menuItems(menu);
  if (t.items.empty())
    return 0;
  step(t, 1);
  HWND top = owner;
  while (top && (GetWindowLongPtrW(top, GWL_STYLE) & WS_CHILD))
    top = GetParent(top);
  RECT r = placement(t, flags, x, y);
  HWND popup = CreateWindowExW(0, POPUP_MENU_CLASS, u"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, top, nullptr, nullptr, &t);
  if (!popup)
    return 0;
  HWND focus = GetFocus();
  SetFocus(popup);
  UINT command = 0;
  for (;;) {
    runModalLoop(popup, &t.done, nullptr);
    if (t.chosen < 0)
      break;
    const MenuItemView &item = t.items[static_cast<std::size_t>(t.chosen)];
    if (!item.popup) {
      command = item.id;
      break;
    }
    bool subBack = false;
    command = track(item.popup, TPM_LEFTALIGN | TPM_TOPALIGN, r.right - DISPLAY_CELL_WIDTH,
                    r.top + (t.chosen + 1) * DISPLAY_CELL_HEIGHT, owner, t.chosen, &subBack);
    if (command != 0 || !subBack || !IsWindow(popup))
      break;
    t.done = false; // back from the submenu, on its item
    t.chosen = -1;
    markScreenDirty();
  }
  if (IsWindow(popup))
    DestroyWindow(popup);
  if (focus && IsWindow(focus))
    SetFocus(focus);
  *back = t.back;
  return command;
}

} // namespace

BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, void *)
{
  if (!IsMenu(hMenu) || !IsWindow(hWnd) || !displayAvailableHere())
    return 0;
  claimDisplay();
  bool back = false; // the menu itself has nothing to go back to
  UINT command = track(hMenu, uFlags, x, y, hWnd, 0, &back);
  if (command == 0)
    return 0;
  if (uFlags & TPM_RETURNCMD)
    return static_cast<BOOL>(command);
  PostMessageW(hWnd, WM_COMMAND, command, 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT *)
{
  return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, nullptr);
}

void registerPopupMenuClass()
{
  registerSystemClass(POPUP_MENU_CLASS, popupProc, sizeof(LONG_PTR), paintPopup, true);
}
