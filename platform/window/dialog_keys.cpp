// The dialog manager's keys: moving the focus, the close request, the
// softkeys and the tap-and-hold key.
#include "platform/window/aygshell.h"
#include "platform/window/dialog.h"
#include "platform/window/window_internal.h"

namespace {

bool takesTab(HWND hwnd)
{
  return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(hwnd) &&
         IsWindowEnabled(hwnd);
}

// The dialog's control that holds hwnd (hwnd itself, or the control whose
// part it is), or null.
HWND controlOf(HWND dlg, HWND hwnd)
{
  while (hwnd && GetParent(hwnd) != dlg) {
    if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
      return nullptr;
    hwnd = GetParent(hwnd);
  }
  return hwnd;
}

void moveFocus(HWND dlg, HWND from, bool previous)
{
  if (HWND next = GetNextDlgTabItem(dlg, from, previous ? TRUE : FALSE))
    setDialogFocus(next);
}

// Tap-and-hold from the keyboard: WM_CONTEXTMENU at the focused control's
// top-left corner (screen pixels, signed 16-bit halves of lParam).
void contextMenu(HWND dlg, HWND focus)
{
  RECT r{0, 0, 0, 0};
  GetWindowRect(focus ? focus : dlg, &r);
  LPARAM at = static_cast<LPARAM>((static_cast<WORD>(r.top) << 16) | static_cast<WORD>(r.left));
  SendMessageW(dlg, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(focus ? focus : dlg), at);
}

} // namespace

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
  std::vector<HWND> controls = childWindows(hDlg);
  const int n = static_cast<int>(controls.size());
  if (n == 0)
    return nullptr;
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (controls[static_cast<std::size_t>(i)] == hCtl)
      at = i;
  const int step = bPrevious ? -1 : 1;
  int start = at;
  if (at < 0)
    start = bPrevious ? 0 : n - 1;
  for (int k = 1; k <= n; ++k) {
    HWND c = controls[static_cast<std::size_t>(((start + step * k) % n + n) % n)];
    if (takesTab(c))
      return c;
  }
  return nullptr;
}

BOOL IsDialogMessageW(HWND hDlg, MSG *lpMsg)
{
  if (!lpMsg || !hDlg || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)))
    return FALSE;
  if (lpMsg->message != WM_KEYDOWN)
    return FALSE;
  const WPARAM vk = lpMsg->wParam;
  const bool shift = (lpMsg->lParam & KF_SHIFT_HELD) != 0;
  HWND control = controlOf(hDlg, GetFocus());
  LRESULT wants = control ? SendMessageW(control, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(lpMsg)) : 0;
  switch (vk) {
  case VK_TAB:
    if (wants & (DLGC_WANTTAB | DLGC_WANTALLKEYS))
      return FALSE;
    moveFocus(hDlg, control, shift);
    return TRUE;
  case VK_UP:
  case VK_DOWN:
  case VK_LEFT:
  case VK_RIGHT:
    if (wants & (DLGC_WANTARROWS | DLGC_WANTALLKEYS))
      return FALSE;
    moveFocus(hDlg, control, vk == VK_UP || vk == VK_LEFT);
    return TRUE;
  case VK_ESCAPE:
    if (wants & DLGC_WANTALLKEYS)
      return FALSE;
    PostMessageW(hDlg, WM_CLOSE, 0, 0);
    return TRUE;
  case VK_F1:
  case VK_F2:
    pressSoftkey(hDlg, vk == VK_F1 ? 0 : 1);
    return TRUE;
  case VK_F10:
    if (!shift)
      return FALSE;
    contextMenu(hDlg, control);
    return TRUE;
  case VK_APPS:
    contextMenu(hDlg, control);
    return TRUE;
  case VK_RETURN:
    // Enter in a control that does not take it is the dialog's OK button,
    // when it has one.
    if ((wants & (DLGC_WANTALLKEYS | DLGC_BUTTON)) || !GetDlgItem(hDlg, IDOK))
      return FALSE;
    SendMessageW(hDlg, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDOK)));
    return TRUE;
  default:
    return FALSE;
  }
}
