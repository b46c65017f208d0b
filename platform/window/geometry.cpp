// Where windows are: rectangles in pixels, moving and sizing, showing and
// hiding, enabling, the z-order of the shown top-level windows, and the
// screen's metrics.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

// The window's origin in screen pixels: its own rectangle's corner plus its
// ancestors' corners.
POINT originLocked(const Window &w)
{
  POINT p{w.rect.left, w.rect.top};
  for (const Window *a = findWindowLocked(w.parent); a; a = findWindowLocked(a->parent)) {
    p.x += a->rect.left + a->frame;
    p.y += a->rect.top + a->frame;
  }
  return p;
}

struct Moved {
  bool moved = false;   // the corner changed
  bool sized = false;   // the size changed
  int width = 0;        // the new size
  int height = 0;
};

Moved placeLocked(Window &w, int x, int y, int cx, int cy, bool move, bool size)
{
  Moved m;
  RECT r = w.rect;
  if (move) {
    LONG wd = r.right - r.left, ht = r.bottom - r.top;
    r = RECT{x, y, x + wd, y + ht};
  }
  if (size) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  m.moved = r.left != w.rect.left || r.top != w.rect.top;
  m.sized = (r.right - r.left) != (w.rect.right - w.rect.left) ||
            (r.bottom - r.top) != (w.rect.bottom - w.rect.top);
  m.width = r.right - r.left;
  m.height = r.bottom - r.top;
  w.rect = r;
  return m;
}

void announce(HWND hwnd, const Moved &m, const RECT &rect)
{
  if (m.moved)
    SendMessageW(hwnd, WM_MOVE, 0,
                 static_cast<LPARAM>((rect.top & 0xFFFF) << 16 | (rect.left & 0xFFFF)));
  if (m.sized)
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED,
                 static_cast<LPARAM>((m.height & 0xFFFF) << 16 | (m.width & 0xFFFF)));
  if (m.moved || m.sized)
    markScreenDirty();
}

// Shows or hides; true when the visibility changed.
bool setVisible(HWND hwnd, bool show)
{
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hwnd);
    if (!w || ((w->style & WS_VISIBLE) != 0) == show)
      return false;
    if (show)
      w->style |= WS_VISIBLE;
    else
      w->style &= ~WS_VISIBLE;
    if (!(w->style & WS_CHILD)) {
      if (show)
        raiseLocked(hwnd);
      else
        dropFromZOrderLocked(hwnd);
    }
  }
  SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  markScreenDirty();
  return true;
}

} // namespace

RECT screenRectLocked(const Window &w)
{
  POINT o = originLocked(w);
  return RECT{o.x, o.y, o.x + (w.rect.right - w.rect.left), o.y + (w.rect.bottom - w.rect.top)};
}

void raiseLocked(HWND hwnd)
{
  auto &z = windowSystem().zOrder;
  z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
  z.push_back(hwnd);
}

void dropFromZOrderLocked(HWND hwnd)
{
  auto &z = windowSystem().zOrder;
  z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
}

int GetSystemMetrics(int nIndex)
{
  int cx = 0, cy = 0;
  displayScreenSize(&cx, &cy);
  switch (nIndex) {
  case SM_CXSCREEN:
    return cx;
  case SM_CYSCREEN:
    return cy;
  case SM_CXVSCROLL:
    return DISPLAY_CELL_WIDTH;
  default:
    return 0;
  }
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w || !lpRect)
    return FALSE;
  *lpRect = screenRectLocked(*w);
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w || !lpRect)
    return FALSE;
  LONG width = w->rect.right - w->rect.left - 2 * w->frame;
  if (w->style & WS_VSCROLL)
    width -= DISPLAY_CELL_WIDTH;
  *lpRect = RECT{0, 0, std::max<LONG>(0, width), std::max<LONG>(0, w->rect.bottom - w->rect.top - 2 * w->frame)};
  return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT *lpPoint)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w || !lpPoint)
    return FALSE;
  POINT o = originLocked(*w);
  lpPoint->x -= o.x + w->frame;
  lpPoint->y -= o.y + w->frame;
  return TRUE;
}

BOOL ClientToScreen(HWND hWnd, POINT *lpPoint)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w || !lpPoint)
    return FALSE;
  POINT o = originLocked(*w);
  lpPoint->x += o.x + w->frame;
  lpPoint->y += o.y + w->frame;
  return TRUE;
}

BOOL SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags)
{
  Moved m;
  RECT rect;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (!w)
      return FALSE;
    m = placeLocked(*w, X, Y, cx, cy, !(uFlags & SWP_NOMOVE), !(uFlags & SWP_NOSIZE));
    rect = w->rect;
    if (!(uFlags & SWP_NOZORDER) && !(w->style & WS_CHILD) && (w->style & WS_VISIBLE))
      raiseLocked(hWnd);
  }
  announce(hWnd, m, rect);
  if (uFlags & SWP_SHOWWINDOW)
    setVisible(hWnd, true);
  if (uFlags & SWP_HIDEWINDOW)
    setVisible(hWnd, false);
  return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL)
{
  return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ShowWindow(HWND hWnd, int nCmdShow)
{
  const BOOL wasVisible = IsWindowVisible(hWnd);
  setVisible(hWnd, nCmdShow != SW_HIDE);
  if (nCmdShow == SW_HIDE) {
    std::shared_ptr<ThreadQueue> q = currentQueue();
    if (q->focus && (q->focus == hWnd || IsChild(hWnd, q->focus)))
      SetFocus(nullptr);
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND hWnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  for (Window *w = findWindowLocked(hWnd); w; w = findWindowLocked(w->parent)) {
    if (!(w->style & WS_VISIBLE))
      return FALSE;
    if (!w->parent)
      return TRUE;
  }
  return FALSE;
}

BOOL IsChild(HWND hWndParent, HWND hWnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  return w && w->parent && isSelfOrDescendantLocked(w->parent, hWndParent) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable)
{
  bool wasDisabled;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (!w)
      return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (bEnable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
  }
  if (wasDisabled == !bEnable)
    return wasDisabled ? TRUE : FALSE;
  if (!bEnable && GetFocus() == hWnd)
    SetFocus(nullptr);
  SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
  markScreenDirty();
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND GetParent(HWND hWnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w)
    return nullptr;
  return w->parent ? w->parent : w->owner;
}

void fitFullScreenWindows()
{
  std::vector<HWND> full;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    for (const WindowSlot &slot : ws.slots)
      if (slot.local && slot.local->fullScreen && !slot.local->destroying)
        full.push_back(slot.local->handle);
  }
  RECT work = displayWorkArea();
  for (HWND h : full)
    MoveWindow(h, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
}
