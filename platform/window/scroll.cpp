// Scroll bars of windows, scrolling a window's content, and marking what
// the display has to draw again.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>
#include <vector>

namespace {

// Keeps the position where the handheld keeps it: within nMin and
// nMax - nPage + 1 (nMax without a page).
void clampPosition(SCROLLINFO &si)
{
  int last = si.nMax;
  if (si.nPage > 0)
    last = si.nMax - static_cast<int>(si.nPage) + 1;
  last = std::max(last, si.nMin);
  si.nPos = std::clamp(si.nPos, si.nMin, last);
  si.nTrackPos = si.nPos;
}

} // namespace

int SetScrollInfo(HWND hWnd, int nBar, LPCSCROLLINFO lpsi, BOOL)
{
  if (!lpsi || (nBar != SB_HORZ && nBar != SB_VERT))
    return 0;
  int pos;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (!w)
      return 0;
    SCROLLINFO &si = w->scroll[nBar];
    if (lpsi->fMask & SIF_RANGE) {
      si.nMin = lpsi->nMin;
      si.nMax = std::max(lpsi->nMin, lpsi->nMax);
    }
    if (lpsi->fMask & SIF_PAGE)
      si.nPage = lpsi->nPage;
    if (lpsi->fMask & SIF_POS)
      si.nPos = lpsi->nPos;
    clampPosition(si);
    pos = si.nPos;
  }
  markScreenDirty();
  return pos;
}

BOOL GetScrollInfo(HWND hWnd, int nBar, LPSCROLLINFO lpsi)
{
  if (!lpsi || (nBar != SB_HORZ && nBar != SB_VERT))
    return FALSE;
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w)
    return FALSE;
  const SCROLLINFO &si = w->scroll[nBar];
  if (lpsi->fMask & SIF_RANGE) {
    lpsi->nMin = si.nMin;
    lpsi->nMax = si.nMax;
  }
  if (lpsi->fMask & SIF_PAGE)
    lpsi->nPage = si.nPage;
  if (lpsi->fMask & SIF_POS)
    lpsi->nPos = si.nPos;
  if (lpsi->fMask & SIF_TRACKPOS)
    lpsi->nTrackPos = si.nTrackPos;
  return TRUE;
}

int ScrollWindowEx(HWND hWnd, int dx, int dy, const RECT *, const RECT *, void *, LPRECT prcUpdate,
                   UINT flags)
{
  std::vector<HWND> children;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    if (!findWindowLocked(hWnd))
      return 0;
    if (flags & SW_SCROLLCHILDREN)
      for (const WindowSlot &slot : ws.slots)
        if (slot.local && slot.local->parent == hWnd)
          children.push_back(slot.local->handle);
  }
  for (HWND c : children) {
    RECT r;
    {
      WindowSystem &ws = windowSystem();
      std::lock_guard<std::mutex> guard(ws.lock);
      Window *w = findWindowLocked(c);
      if (!w)
        continue;
      r = w->rect;
    }
    SetWindowPos(c, nullptr, r.left + dx, r.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (prcUpdate)
    GetClientRect(hWnd, prcUpdate);
  markScreenDirty();
  return 1; // SIMPLEREGION
}

BOOL InvalidateRect(HWND hWnd, const RECT *, BOOL)
{
  if (hWnd && !IsWindow(hWnd))
    return FALSE;
  markScreenDirty();
  return TRUE;
}

BOOL UpdateWindow(HWND hWnd)
{
  if (!IsWindow(hWnd))
    return FALSE;
  displayDrawNow();
  return TRUE;
}
