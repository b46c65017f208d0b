// Displays: where the window system shows what a person has to see. Each
// display is one table of operations, as Wine's window core reaches its host
// through user_driver_funcs: a display fills in what it supports, and a null
// entry means the default written beside it.
//
// Three displays:
//   headless  no terminal: dialogs cannot be created; the tray keeps its
//             icons but shows nothing (message boxes take the shell's
//             standard-error form, platform/shell/msgbox.h);
//   terminal  the handheld's screen drawn in the terminal; so far the tray
//             icon as a status line (dialogs follow with the dialogs);
//   test      for tests: records what it was asked to show.
#pragma once

#include "platform/window/tray.h"
#include "platform/window/window.h"

#include <vector>

struct DisplayDriver {
  const char *name; // "headless", "terminal" or "test"

  // Creates a modal dialog from template lpTemplateName of instance, owned by
  // owner, with dialogProc, and runs its message loop on the calling thread
  // until it ends; returns its result. Null: dialogs cannot be created, and
  // DialogBoxParamW reports -1.
  INT_PTR (*pDialogBox)(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam);

  // The tray changed: `icon` was added (NIM_ADD), changed (NIM_MODIFY, with
  // its new values) or removed (NIM_DELETE). Called on the thread that made
  // the change, after it, with no lock held. Null: nothing is shown.
  void (*pNotifyIcon)(DWORD message, const TrayIcon &icon);
};

const DisplayDriver &headlessDisplay();
const DisplayDriver &terminalDisplay();
const DisplayDriver &testDisplay();

// The display in use. Unless setDisplay chose one, it is chosen at first
// use: headless when QUILLMARSH_DISPLAY is "headless" or standard output is
// not a terminal, else the terminal.
const DisplayDriver &currentDisplay();

// Makes display the one in use (the program's start-up, tests).
void setDisplay(const DisplayDriver &display);

// What the test display was asked to show of the tray, oldest first.
struct TestDisplayNotice {
  DWORD message; // NIM_ADD, NIM_MODIFY or NIM_DELETE
  TrayIcon icon; // the icon as it was told
};

// Takes the test display's notices out of its record.
std::vector<TestDisplayNotice> testDisplayTakeNotices();
