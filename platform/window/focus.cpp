// The keyboard focus and the active window, per thread; the foreground
// window of the process; and the front of the display's z-order.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <mutex>

namespace {

HWND foregroundWindow = nullptr; // the process's foreground window; under windowSystem().lock

// The top-level window that hwnd is or lies in; null when hwnd is no window
// of this process.
HWND topLevelOf(HWND hwnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  while (w && w->parent)
    w = findWindowLocked(w->parent);
  return w ? w->handle : nullptr;
}

// A stale handle never names a later window (handles carry a generation),
// so a remembered window that has gone is simply no longer found.
bool isMine(HWND hwnd)
{
  return hwnd && isWindowOfQueue(hwnd, *currentQueue());
}

} // namespace

HWND GetFocus()
{
  HWND focus = currentQueue()->focus;
  return isMine(focus) ? focus : nullptr;
}

HWND SetFocus(HWND hWnd)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  HWND old = GetFocus();
  if (hWnd && (!isMine(hWnd) || !IsWindowEnabled(hWnd) || !IsWindowVisible(hWnd)))
    return nullptr;
  if (hWnd == old)
    return old;
  if (hWnd) {
    HWND top = topLevelOf(hWnd);
    if (top != GetActiveWindow())
      SetActiveWindow(top);
  }
  q->focus = hWnd;
  if (old && isMine(old))
    SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  // The window that lost the focus may have given it elsewhere meanwhile.
  if (hWnd && q->focus == hWnd && isMine(hWnd))
    SendMessageW(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  markScreenDirty();
  return old;
}

HWND GetActiveWindow()
{
  HWND active = currentQueue()->active;
  return isMine(active) ? active : nullptr;
}

HWND SetActiveWindow(HWND hWnd)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  HWND old = GetActiveWindow();
  if (hWnd && (!isMine(hWnd) || topLevelOf(hWnd) != hWnd))
    return nullptr;
  if (hWnd) {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (w && (w->style & WS_VISIBLE))
      raiseLocked(hWnd);
  }
  if (hWnd == old)
    return old;
  q->active = hWnd;
  if (old)
    SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hWnd));
  if (hWnd && q->active == hWnd && isMine(hWnd))
    SendMessageW(hWnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  markScreenDirty();
  return old;
}

HWND GetForegroundWindow()
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  return findWindowLocked(foregroundWindow) ? foregroundWindow : nullptr;
}

BOOL SetForegroundWindow(HWND hWnd)
{
  if (!hWnd || topLevelOf(hWnd) != hWnd)
    return FALSE;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    foregroundWindow = hWnd;
    Window *w = findWindowLocked(hWnd);
    if (w && (w->style & WS_VISIBLE))
      raiseLocked(hWnd);
  }
  markScreenDirty();
  if (isMine(hWnd))
    SetActiveWindow(hWnd);
  return TRUE;
}

HWND frontWindow()
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
    Window *w = findWindowLocked(*it);
    if (w && !w->popup && (w->style & WS_VISIBLE))
      return w->handle;
  }
  return nullptr;
}

void forgetFocusOf(ThreadQueue &q, HWND hwnd)
{
  if (q.focus == hwnd)
    q.focus = nullptr;
  if (q.active == hwnd)
    q.active = nullptr;
}
