// The tray: the notification icon that stands for a program running hidden.
// Which display shows it, and how, is the display's affair (display.h); the
// tray itself keeps the icons, so that a display without a screen and the
// tests can see what is there.
#pragma once

#include "platform/base/types.h"

#include <string>
#include <vector>

// The notification-icon record, in the handheld's field order.
struct NOTIFYICONDATAW {
  DWORD cbSize;          // NOTIFYICONDATA_HANDHELD_SIZE or sizeof(NOTIFYICONDATAW)
  HWND hWnd;             // the window that gets the icon's notifications
  UINT uID;              // the icon's number among that window's icons
  UINT uFlags;           // NIF_*: which of the next three fields are given
  UINT uCallbackMessage; // the notification message sent to hWnd
  HICON hIcon;           // the icon
  WCHAR szTip[64];       // the tip text; cut to 63 units when not terminated
};
using PNOTIFYICONDATAW = NOTIFYICONDATAW *;

// The record's size on the handheld, whose pointers are 32 bits wide. A
// program that writes it as the size field is understood; so is
// sizeof(NOTIFYICONDATAW), the size of the record here.
constexpr DWORD NOTIFYICONDATA_HANDHELD_SIZE = 152;

// Shell_NotifyIconW operations.
constexpr DWORD NIM_ADD = 0x00000000;
constexpr DWORD NIM_MODIFY = 0x00000001;
constexpr DWORD NIM_DELETE = 0x00000002;

// Which fields of the record are given.
constexpr UINT NIF_MESSAGE = 0x00000001;
constexpr UINT NIF_ICON = 0x00000002;
constexpr UINT NIF_TIP = 0x00000004;

// Adds, changes or removes the icon (hWnd, uID). NIM_ADD needs a window of
// this process and an icon that is not there yet; NIM_MODIFY and NIM_DELETE
// one that is. FALSE for a null record, an unknown size, or an operation that
// does not fit. The current display is told of every change.
BOOL Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData);

// One icon in the tray.
struct TrayIcon {
  HWND hwnd;             // the window that gets its notifications
  UINT id;               // its number among that window's icons
  UINT flags;            // NIF_* of the fields ever given
  UINT callbackMessage;  // the notification message (NIF_MESSAGE)
  HICON icon;            // the icon (NIF_ICON)
  std::u16string tip;    // the tip text (NIF_TIP)
};

// The icons in the tray, in the order they were added.
std::vector<TrayIcon> trayIcons();

// The user activated the icon: its window is sent the notification message
// with wParam the icon's number and lParam WM_LBUTTONUP, once, and this
// returns when the window has handled it. FALSE when there is no such icon or
// it has no notification message.
BOOL trayActivate(HWND hwnd, UINT id);
