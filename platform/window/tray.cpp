// The tray's icons, kept per process.
#include "platform/window/tray.h"
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

// The tray's state; never destroyed, as threads that end during exit still
// take their windows' icons away.
struct Tray {
  std::mutex lock;             // guards icons
  std::vector<TrayIcon> icons; // the icons, in the order they were added
};

Tray &tray()
{
  static Tray *t = new Tray;
  return *t;
}

constexpr std::size_t TIP_UNITS = 64; // szTip's capacity

bool sizeKnown(DWORD cbSize)
{
  return cbSize == NOTIFYICONDATA_HANDHELD_SIZE || cbSize == sizeof(NOTIFYICONDATAW);
}

void takeFields(TrayIcon &icon, const NOTIFYICONDATAW &data)
{
  if (data.uFlags & NIF_MESSAGE)
    icon.callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON)
    icon.icon = data.hIcon;
  if (data.uFlags & NIF_TIP) {
    const WCHAR *end = std::find(data.szTip, data.szTip + TIP_UNITS, u'\0');
    icon.tip.assign(data.szTip, std::min<std::size_t>(end - data.szTip, TIP_UNITS - 1));
  }
  icon.flags |= data.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

} // namespace

BOOL Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData)
{
  if (!lpData || !sizeKnown(lpData->cbSize))
    return FALSE;
  if (dwMessage == NIM_ADD) {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    if (!findWindowLocked(lpData->hWnd))
      return FALSE;
  }
  TrayIcon changed{};
  {
    Tray &t = tray();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = std::find_if(t.icons.begin(), t.icons.end(), [&](const TrayIcon &i) {
      return i.hwnd == lpData->hWnd && i.id == lpData->uID;
    });
    switch (dwMessage) {
    case NIM_ADD:
      if (it != t.icons.end())
        return FALSE;
      changed = TrayIcon{lpData->hWnd, lpData->uID, 0, 0, nullptr, {}};
      takeFields(changed, *lpData);
      t.icons.push_back(changed);
      break;
    case NIM_MODIFY:
      if (it == t.icons.end())
        return FALSE;
      takeFields(*it, *lpData);
      changed = *it;
      break;
    case NIM_DELETE:
      if (it == t.icons.end())
        return FALSE;
      changed = *it;
      t.icons.erase(it);
      break;
    default:
      return FALSE;
    }
  }
  // The thread that keeps a tray icon takes the display's input: on the
  // terminal, the tray line is activated from the keyboard.
  if (dwMessage == NIM_ADD)
    claimDisplay();
  if (auto notify = currentDisplay().pNotifyIcon)
    notify(dwMessage, changed);
  return TRUE;
}

std::vector<TrayIcon> trayIcons()
{
  Tray &t = tray();
    std::lock_guard<std::mutex> guard(t.lock);
  return t.icons;
}

BOOL trayActivate(HWND hwnd, UINT id)
{
  UINT message = 0;
  {
    Tray &t = tray();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = std::find_if(t.icons.begin(), t.icons.end(),
                           [&](const TrayIcon &i) { return i.hwnd == hwnd && i.id == id; });
    if (it == t.icons.end() || !(it->flags & NIF_MESSAGE))
      return FALSE;
    message = it->callbackMessage;
  }
  SendMessageW(hwnd, message, id, WM_LBUTTONUP);
  return TRUE;
}

void trayForgetWindow(HWND hwnd)
{
  std::vector<TrayIcon> gone;
  {
    Tray &t = tray();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto it = t.icons.begin(); it != t.icons.end();) {
      if (it->hwnd == hwnd) {
        gone.push_back(*it);
        it = t.icons.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (auto notify = currentDisplay().pNotifyIcon)
    for (const TrayIcon &icon : gone)
      notify(NIM_DELETE, icon);
}
