// The shell's dialog pieces: full-screen dialogs with "ok" in the title bar,
// and the softkey bar built from a menu resource.
#include "platform/window/aygshell.h"
#include "platform/window/canvas.h"
#include "platform/window/display.h"
#include "platform/window/menu_internal.h"
#include "platform/window/window_internal.h"

namespace {

constexpr const WCHAR *SOFTKEY_BAR_CLASS = u"menu_worker";

struct SoftkeyBar {
  HMENU menu = nullptr; // the loaded menu resource, destroyed with the bar
  HWND owner = nullptr; // where the commands go
};

LRESULT barProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto *bar = reinterpret_cast<SoftkeyBar *>(GetWindowLongPtrW(hwnd, 0));
  switch (message) {
  case WM_NCCREATE:
    SetWindowLongPtrW(hwnd, 0,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams));
    return TRUE;
  case WM_NCDESTROY:
    if (bar) {
      DestroyMenu(bar->menu);
      delete bar;
      SetWindowLongPtrW(hwnd, 0, 0);
    }
    return 0;
  case WM_LBUTTONUP: {
    // A tap on the bar: the left half is the left softkey.
    int cx, cy;
    displayScreenSize(&cx, &cy);
    if (bar)
      pressSoftkey(bar->owner, GET_X_LPARAM(lParam) < cx / 2 ? 0 : 1);
    return 0;
  }
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintBar(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  auto *bar = reinterpret_cast<SoftkeyBar *>(GetWindowLongPtrW(hwnd, 0));
  if (!bar)
    return;
  std::vector<MenuItemView> keys = menuItems(bar->menu);
  const bool enabled = IsWindowEnabled(bar->owner);
  auto attrOf = [&](const MenuItemView &k) {
    return static_cast<BYTE>(CELL_BAR | (!enabled || (k.flags & (MF_GRAYED | MF_DISABLED)) ? CELL_DISABLED : 0));
  };
  if (!keys.empty())
    canvas.text(cells.left + 1, cells.top, keys[0].text, cells.width() / 2 - 1, attrOf(keys[0]));
  if (keys.size() > 1) {
    std::u16string right = keys[1].text + (keys[1].popup ? u" ▲" : u"");
    int col = std::max(cells.left + cells.width() / 2, cells.right - 1 - static_cast<int>(right.size()));
    canvas.text(col, cells.top, right, cells.right - col, attrOf(keys[1]));
  }
}

} // namespace

void registerMenuClasses()
{
  void registerPopupMenuClass();
  registerPopupMenuClass();
  registerSystemClass(SOFTKEY_BAR_CLASS, barProc, sizeof(LONG_PTR), paintBar);
}

BOOL SHInitDialog(PSHINITDLGINFO pshidi)
{
  if (!pshidi || !(pshidi->dwMask & SHIDIM_FLAGS) || !IsWindow(pshidi->hDlg))
    return FALSE;
  const bool full = (pshidi->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) != 0;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(pshidi->hDlg);
    if (!w)
      return FALSE;
    w->doneButton = (pshidi->dwFlags & SHIDIF_DONEBUTTON) != 0;
    w->fullScreen = full;
  }
  if (full) {
    RECT work = displayWorkArea();
    MoveWindow(pshidi->hDlg, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
  }
  markScreenDirty();
  return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO *pmbi)
{
  if (!pmbi || !(pmbi->dwFlags & SHCMBF_HMENU) || !IsWindow(pmbi->hwndParent))
    return FALSE;
  HMENU menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
  if (!menu)
    return FALSE;
  auto *bar = new SoftkeyBar{menu, pmbi->hwndParent};
  HWND hwnd = CreateWindowExW(0, SOFTKEY_BAR_CLASS, u"", 0, 0, 0, 0, 0, pmbi->hwndParent, nullptr,
                              pmbi->hInstRes, bar);
  if (!hwnd) {
    DestroyMenu(menu);
    delete bar;
    return FALSE;
  }
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    if (Window *w = findWindowLocked(pmbi->hwndParent))
      w->softkeyBar = hwnd;
  }
  pmbi->hwndMB = hwnd;
  markScreenDirty();
  return TRUE;
}

HWND softkeyBarOf(HWND hwnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  return w && findWindowLocked(w->softkeyBar) ? w->softkeyBar : nullptr;
}

BOOL pressSoftkey(HWND hwnd, int softkey)
{
  HWND barWindow = softkeyBarOf(hwnd);
  if (!barWindow || !IsWindowEnabled(hwnd))
    return FALSE;
  auto *bar = reinterpret_cast<SoftkeyBar *>(GetWindowLongPtrW(barWindow, 0));
  std::vector<MenuItemView> keys = menuItems(bar->menu);
  if (softkey < 0 || softkey >= static_cast<int>(keys.size()) || softkey > 1)
    return FALSE;
  const MenuItemView &key = keys[static_cast<std::size_t>(softkey)];
  if (key.flags & (MF_GRAYED | MF_DISABLED))
    return FALSE;
  if (key.popup) {
    RECT work = displayWorkArea();
    int cx, cy;
    displayScreenSize(&cx, &cy);
    const UINT align = softkey == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
    TrackPopupMenuEx(key.popup, align | TPM_BOTTOMALIGN, softkey == 0 ? 0 : cx, work.bottom, hwnd, nullptr);
    return TRUE;
  }
  SendMessageW(hwnd, WM_COMMAND, key.id, 0);
  return TRUE;
}
