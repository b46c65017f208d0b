#include "platform/window/window.h"
#include "platform/window/window_internal.h"

#include <mutex>

namespace {

thread_local HWND focusWindow = nullptr;  // the calling thread's focus window, as last set
thread_local HWND activeWindow = nullptr; // the calling thread's active window, as last set
HWND foregroundWindow = nullptr;          // the process's foreground window; under windowSystem().lock

// A stale handle never names a later window (handles carry a generation),
// so a remembered window that has gone is simply no longer found.
bool isMine(HWND hwnd) { return hwnd && isWindowOfQueue(hwnd, *currentQueue()); }

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

} // namespace

HWND GetFocus() { return isMine(focusWindow) ? focusWindow : nullptr; }

HWND SetFocus(HWND hWnd)
{
  HWND old = GetFocus();
  if (hWnd && !isMine(hWnd))
    return nullptr;
  if (hWnd == old)
    return old;
  if (hWnd) {
    HWND top = topLevelOf(hWnd);
    if (top != GetActiveWindow())
      SetActiveWindow(top);
  }
  focusWindow = hWnd;
  if (old && isMine(old))
    callWindowProc(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd && focusWindow == hWnd && isMine(hWnd))
    callWindowProc(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetActiveWindow() { return isMine(activeWindow) ? activeWindow : nullptr; }

HWND SetActiveWindow(HWND hWnd)
{
  HWND old = GetActiveWindow();
  if (hWnd && (!isMine(hWnd) || topLevelOf(hWnd) != hWnd))
    return nullptr;
  if (hWnd == old)
    return old;
  activeWindow = hWnd;
  if (old)
    callWindowProc(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hWnd));
  if (hWnd && activeWindow == hWnd && isMine(hWnd))
    callWindowProc(hWnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
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
  }
  if (isMine(hWnd))
    SetActiveWindow(hWnd);
  return TRUE;
}
