// Input as the displays deliver it: keys to the focus window, taps to the
// window under them, the tray line. Everything is posted, never sent: input
// is read inside the thread's wait, where no window procedure may run.
#include "platform/window/aygshell.h"
#include "platform/window/canvas.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

namespace {

// The shown top-level windows, front last.
std::vector<HWND> zOrderCopy()
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  return ws.zOrder;
}

bool isPopup(HWND hwnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  return w && w->popup;
}

bool contains(const CellRect &r, int col, int row)
{
  return col >= r.left && col < r.right && row >= r.top && row < r.bottom;
}

// The deepest visible, enabled window of hwnd's tree under the cell.
HWND hitTest(HWND hwnd, int col, int row)
{
  if (!IsWindowVisible(hwnd) || !contains(windowCells(hwnd), col, row))
    return nullptr;
  std::vector<HWND> children = childWindows(hwnd);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (HWND hit = hitTest(*it, col, row))
      return hit;
  return IsWindowEnabled(hwnd) ? hwnd : nullptr;
}

LPARAM clientPoint(HWND hwnd, int col, int row)
{
  POINT p{col * DISPLAY_CELL_WIDTH + DISPLAY_CELL_WIDTH / 2, row * DISPLAY_CELL_HEIGHT + DISPLAY_CELL_HEIGHT / 2};
  ScreenToClient(hwnd, &p);
  return static_cast<LPARAM>((p.y & 0xFFFF) << 16 | (p.x & 0xFFFF));
}

void tapWindow(HWND target, int col, int row, bool doubleTap)
{
  LPARAM at = clientPoint(target, col, row);
  PostMessageW(target, WM_LBUTTONDOWN, 0, at);
  PostMessageW(target, WM_LBUTTONUP, 0, at);
  if (doubleTap)
    PostMessageW(target, WM_LBUTTONDBLCLK, 0, at);
}

// The popup in front of every other shown window, or null.
HWND popupInFront()
{
  std::vector<HWND> z = zOrderCopy();
  for (auto it = z.rbegin(); it != z.rend(); ++it) {
    if (!IsWindowVisible(*it))
      continue;
    return isPopup(*it) ? *it : nullptr;
  }
  return nullptr;
}

} // namespace

void displayKey(WPARAM vk, bool shift)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  HWND target = q->focus ? q->focus : q->active;
  if (!target)
    return;
  PostMessageW(target, WM_KEYDOWN, vk, shift ? KF_SHIFT_HELD : 0);
}

void displayChar(WCHAR ch)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  HWND target = q->focus ? q->focus : q->active;
  if (target)
    PostMessageW(target, WM_CHAR, ch, 0);
}

void displayTap(int col, int row, bool doubleTap)
{
  // A popup takes the taps; a tap beside it closes it.
  if (HWND popup = popupInFront()) {
    if (HWND hit = hitTest(popup, col, row))
      tapWindow(hit, col, row, doubleTap);
    else
      PostMessageW(popup, WM_CLOSE, 0, 0);
    return;
  }
  HWND front = frontWindow();
  if (!front) {
    displayActivateTray();
    return;
  }
  int cx, cy;
  displayScreenSize(&cx, &cy);
  const int cols = cx / DISPLAY_CELL_WIDTH, rows = cy / DISPLAY_CELL_HEIGHT;
  if (row == 0) {
    bool done;
    {
      WindowSystem &ws = windowSystem();
      std::lock_guard<std::mutex> guard(ws.lock);
      Window *w = findWindowLocked(front);
      done = w && w->doneButton;
    }
    if (done && col >= cols - 4)
      PostMessageW(front, WM_COMMAND, IDOK, 0);
    return;
  }
  if (row == rows - 1) {
    if (HWND bar = softkeyBarOf(front))
      PostMessageW(bar, WM_LBUTTONUP, 0, static_cast<LPARAM>(col * DISPLAY_CELL_WIDTH) & 0xFFFF);
    return;
  }
  if (HWND hit = hitTest(front, col, row))
    tapWindow(hit, col, row, doubleTap);
}

void displayHold(int col, int row)
{
  HWND front = frontWindow();
  int cx, cy;
  displayScreenSize(&cx, &cy);
  if (!front || popupInFront() || row == 0 || row == cy / DISPLAY_CELL_HEIGHT - 1) {
    displayTap(col, row, false);
    return;
  }
  HWND hit = hitTest(front, col, row);
  if (!hit)
    return;
  // The tap first, so that a list has chosen the line the menu is for.
  tapWindow(hit, col, row, false);
  const LPARAM at = static_cast<LPARAM>(((row * DISPLAY_CELL_HEIGHT + DISPLAY_CELL_HEIGHT / 2) & 0xFFFF) << 16 |
                                        ((col * DISPLAY_CELL_WIDTH + DISPLAY_CELL_WIDTH / 2) & 0xFFFF));
  PostMessageW(front, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hit), at);
}

void displayActivateTray()
{
  std::vector<TrayIcon> icons = trayIcons();
  if (icons.empty() || !(icons.front().flags & NIF_MESSAGE))
    return;
  PostMessageW(icons.front().hwnd, icons.front().callbackMessage, icons.front().id, WM_LBUTTONUP);
}
