// Dialogs from templates: creating the dialog and its controls, the modal
// loop, EndDialog, and the dialog class's default processing.
#include "platform/resources/resources.h"
#include "platform/window/canvas.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

namespace {

// The "System" 8 font's base units on this screen, in pixels: a dialog unit
// is 7/4 pixels wide and 8/8 high, so that the handheld's 136-unit-wide
// forms fill the 240-pixel screen, and the 13-unit rows of its forms fall
// on the display's 13-pixel lines (docs/window.md).
constexpr int BASE_UNIT_X = 7;
constexpr int BASE_UNIT_Y = 8;

constexpr int DWLP_DLGPROC = sizeof(LONG_PTR); // the dialog procedure, in the class's bytes

DialogState *stateLocked(HWND hwnd)
{
  Window *w = findWindowLocked(hwnd);
  return w ? w->dialog.get() : nullptr;
}

// A copy of a dialog's state, read under the lock.
bool readState(HWND hwnd, DialogState *out)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  DialogState *s = stateLocked(hwnd);
  if (!s)
    return false;
  *out = *s;
  return true;
}

RECT unitsToPixels(short x, short y, short cx, short cy)
{
  return RECT{x * BASE_UNIT_X / 4, y * BASE_UNIT_Y / 8, (x + cx) * BASE_UNIT_X / 4,
              (y + cy) * BASE_UNIT_Y / 8};
}

HWND createFromTemplate(HINSTANCE instance, const DialogTemplate *tpl, HWND owner, DLGPROC proc,
                        LPARAM initParam, bool modal)
{
  if (!tpl)
    return nullptr;
  ensureSystemClasses();
  RECT r = unitsToPixels(tpl->x, tpl->y, tpl->cx, tpl->cy);
  RECT work = displayWorkArea();
  int x = work.left + r.left, y = work.top + r.top;
  if (tpl->style & DS_CENTER) {
    x = work.left + ((work.right - work.left) - (r.right - r.left)) / 2;
    y = work.top + ((work.bottom - work.top) - (r.bottom - r.top)) / 2;
  }
  const DWORD style = tpl->style & ~(WS_CHILD | WS_VISIBLE);
  HWND dlg = CreateWindowExW(tpl->exStyle, WC_DIALOG, tpl->caption ? tpl->caption : u"", style, x, y,
                             r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
  if (!dlg)
    return nullptr;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(dlg);
    w->frame = 1; // the handheld's dialogs have a one-pixel frame
    w->dialog = std::make_unique<DialogState>();
    w->dialog->proc = proc;
    w->dialog->modal = modal;
    w->dialog->baseX = BASE_UNIT_X;
    w->dialog->baseY = BASE_UNIT_Y;
  }
  SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  for (std::size_t i = 0; i < tpl->itemCount; ++i) {
    const DialogItemTemplate &item = tpl->items[i];
    RECT ir = unitsToPixels(item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowExW(item.exStyle, item.className, item.text,
                                   item.style | WS_CHILD | WS_VISIBLE, ir.left, ir.top,
                                   ir.right - ir.left, ir.bottom - ir.top, dlg,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
                                   nullptr);
    if (!control) {
      DestroyWindow(dlg);
      return nullptr;
    }
  }
  HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
  if (SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam) && first &&
      IsWindow(dlg))
    setDialogFocus(first);
  return IsWindow(dlg) ? dlg : nullptr;
}

// Keys go to the window that has the focus when they are taken from the
// queue, as the handheld's input queue does: several keys read at once
// must not all go to the window that had the focus when they were read.
void retargetInput(MSG *msg)
{
  if (msg->message != WM_KEYDOWN && msg->message != WM_CHAR)
    return;
  if (HWND focus = GetFocus())
    msg->hwnd = focus;
}

INT_PTR runModal(HINSTANCE instance, const DialogTemplate *tpl, HWND owner, DLGPROC proc, LPARAM initParam)
{
  if (!tpl || !displayAvailableHere())
    return -1;
  claimDisplay();
  // The owner waits while the dialog runs: it takes no input.
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner)
    EnableWindow(owner, FALSE);
  HWND dlg = createFromTemplate(instance, tpl, owner, proc, initParam, true);
  if (!dlg) {
    if (disableOwner)
      EnableWindow(owner, TRUE);
    return -1;
  }
  DialogState state;
  if (readState(dlg, &state) && !state.ended) {
    ShowWindow(dlg, SW_SHOW);
    SetActiveWindow(dlg);
    // Focus given while the dialog was still hidden did not take: the
    // first control gets it now, as the dialog's default processing does.
    HWND focus = GetFocus();
    if (!focus || (focus != dlg && !IsChild(dlg, focus)) || focus == dlg)
      if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE))
        setDialogFocus(first);
  }
  bool ended = false;
  // The loop looks at the dialog's state after every message: EndDialog may
  // come from any handler, and a handler may destroy the dialog outright.
  INT_PTR result = 0;
  for (;;) {
    if (!readState(dlg, &state)) {
      ended = true;
      break;
    }
    if (state.ended) {
      result = state.result;
      break;
    }
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (displayIdle(dlg))
        continue;
      if (GetMessageW(&msg, nullptr, 0, 0) == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
    } else if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    retargetInput(&msg);
    if (!IsDialogMessageW(dlg, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (disableOwner)
    EnableWindow(owner, TRUE);
  if (!ended)
    DestroyWindow(dlg);
  if (owner && IsWindowVisible(owner))
    SetActiveWindow(owner);
  return result;
}

} // namespace

bool runModalLoop(HWND top, const bool *done, bool (*filter)(HWND top, MSG *msg))
{
  while (!*done && IsWindow(top)) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (displayIdle(top))
        continue;
      if (GetMessageW(&msg, nullptr, 0, 0) == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
    } else if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    retargetInput(&msg);
    if (filter && filter(top, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

LONG GetDialogBaseUnits()
{
  return BASE_UNIT_Y << 16 | BASE_UNIT_X;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect)
{
  DialogState state;
  if (!lpRect || !readState(hDlg, &state))
    return FALSE;
  lpRect->left = lpRect->left * state.baseX / 4;
  lpRect->right = lpRect->right * state.baseX / 4;
  lpRect->top = lpRect->top * state.baseY / 8;
  lpRect->bottom = lpRect->bottom * state.baseY / 8;
  return TRUE;
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
  return runModal(hInstance, findDialogTemplate(hInstance, lpTemplateName), hWndParent, lpDialogFunc,
                  dwInitParam);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, const DialogTemplate *lpTemplate,
                                HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
  return runModal(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam);
}

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
  return CreateDialogIndirectParamW(hInstance, findDialogTemplate(hInstance, lpTemplateName),
                                    hWndParent, lpDialogFunc, dwInitParam);
}

HWND CreateDialogIndirectParamW(HINSTANCE hInstance, const DialogTemplate *lpTemplate,
                                HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
  HWND dlg = createFromTemplate(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam, false);
  if (dlg && (lpTemplate->style & WS_VISIBLE)) {
    ShowWindow(dlg, SW_SHOW);
    SetActiveWindow(dlg);
  }
  return dlg;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult)
{
  bool modal;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    DialogState *s = stateLocked(hDlg);
    if (!s)
      return FALSE;
    s->ended = true;
    s->result = nResult;
    modal = s->modal;
  }
  if (modal)
    PostMessageW(hDlg, WM_NULL, 0, 0); // wakes the loop should it be waiting
  else
    ShowWindow(hDlg, SW_HIDE);
  return TRUE;
}

LRESULT dialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefDlgProcW(hwnd, message, wParam, lParam);
}

void setDialogFocus(HWND control)
{
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
    SendMessageW(control, EM_SETSEL, 0, -1);
  SetFocus(control);
}

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC));
  if (proc) {
    SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
    INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
    if (handled) {
      if (Msg == WM_INITDIALOG)
        return handled;
      return GetWindowLongPtrW(hDlg, DWLP_MSGRESULT);
    }
  }
  switch (Msg) {
  case WM_INITDIALOG:
    return TRUE;
  case WM_CLOSE:
    SendMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    return 0;
  case WM_SETFOCUS:
    if (HWND first = GetNextDlgTabItem(hDlg, nullptr, FALSE))
      setDialogFocus(first);
    return 0;
  case WM_NEXTDLGCTL: {
    HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                         : GetNextDlgTabItem(hDlg, GetFocus(), wParam != 0);
    if (target && IsChild(hDlg, target))
      setDialogFocus(target);
    return 0;
  }
  case WM_ACTIVATE: {
    // The control that had the focus gets it back when the dialog is active
    // again (after a menu, a message box or another dialog above it).
    HWND focus = GetFocus();
    WindowSystem &ws = windowSystem();
    std::unique_lock<std::mutex> guard(ws.lock);
    DialogState *s = stateLocked(hDlg);
    if (!s)
      return 0;
    if (LOWORD(wParam) == WA_INACTIVE) {
      if (focus && isSelfOrDescendantLocked(focus, hDlg) && focus != hDlg)
        s->savedFocus = focus;
      return 0;
    }
    HWND saved = s->savedFocus;
    guard.unlock();
    if (saved && IsChild(hDlg, saved) && IsWindowEnabled(saved) && IsWindowVisible(saved))
      SetFocus(saved);
    else if (HWND first = GetNextDlgTabItem(hDlg, nullptr, FALSE))
      SetFocus(first);
    return 0;
  }
  case WM_GETDLGCODE:
    return 0;
  default:
    return DefWindowProcW(hDlg, Msg, wParam, lParam);
  }
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem)
{
  for (HWND child : childWindows(hDlg))
    if (GetWindowLongPtrW(child, GWLP_ID) == nIDDlgItem)
      return child;
  return nullptr;
}

int GetDlgCtrlID(HWND hWnd)
{
  return static_cast<int>(GetWindowLongPtrW(hWnd, GWLP_ID));
}

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
  HWND control = GetDlgItem(hDlg, nIDDlgItem);
  return control ? SendMessageW(control, Msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
  HWND control = GetDlgItem(hDlg, nIDDlgItem);
  return control ? SetWindowTextW(control, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax)
{
  HWND control = GetDlgItem(hDlg, nIDDlgItem);
  if (!control) {
    if (lpString && cchMax > 0)
      lpString[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(control, lpString, cchMax));
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
  HWND control = GetDlgItem(hDlg, nIDButton);
  if (!control)
    return FALSE;
  SendMessageW(control, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
  return static_cast<UINT>(SendDlgItemMessageW(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

void paintDialog(HWND, Canvas &canvas, const CellRect &cells)
{
  canvas.fill(cells, CELL_PLAIN);
}
