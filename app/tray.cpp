#include "app/tray.h"

#include "app/program_state.h"
#include "platform/text/wstr.h"
#include "platform/window/tray.h"
#include "platform/window/window.h"
#include "ui/resources/resource_ids.h"

namespace {

NOTIFYICONDATAW trayRecord{}; // what the tray was told; removeTrayIcon uses it
HICON programIcon = nullptr;  // icon 101 of the program module

} // namespace

void loadTrayIcon(HINSTANCE programModule)
{
  programIcon = LoadIconW(programModule, MAKEINTRESOURCEW(IDI_PROGRAM));
}

void addTrayIcon(HWND window)
{
  trayRecord.cbSize = NOTIFYICONDATA_HANDHELD_SIZE;
  trayRecord.hWnd = window;
  trayRecord.uID = 0;
  trayRecord.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  trayRecord.uCallbackMessage = WM_SHOW_RULES;
  trayRecord.hIcon = programIcon;
  wstrCopy(trayRecord.szTip, 64, MAIN_WINDOW_TITLE);
  (void)Shell_NotifyIconW(NIM_ADD, &trayRecord);
}

void removeTrayIcon()
{
  if (!trayRecord.cbSize)
    return; // never added: nothing to describe
  (void)Shell_NotifyIconW(NIM_DELETE, &trayRecord);
}
