// The handheld shell library's dialog pieces: full-screen dialogs with an
// OK (Done) button in the title bar, the softkey bar built from a menu
// resource, and the "SIPPREF" window class of the input panel.
//
// Names and values are the handheld's; differences are in docs/window.md.
#pragma once

#include "platform/window/window.h"

// SHInitDialog flags.
constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;

struct SHINITDLGINFO {
  DWORD dwMask;  // SHIDIM_FLAGS
  HWND hDlg;     // the dialog
  DWORD dwFlags; // SHIDIF_*
};
using PSHINITDLGINFO = SHINITDLGINFO *;

// Makes a dialog a shell dialog: SHIDIF_SIZEDLGFULLSCREEN (or SHIDIF_SIZEDLG)
// sizes it to the screen between the title bar and the softkey bar (WM_SIZE
// follows, and follows again when the screen changes size);
// SHIDIF_DONEBUTTON shows "ok" in the title bar, whose tap sends the dialog
// WM_COMMAND IDOK.
BOOL SHInitDialog(PSHINITDLGINFO pshidi);

// SHCreateMenuBar flags.
constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr DWORD SHCMBF_HIDDEN = 0x0002;
constexpr DWORD SHCMBF_HMENU = 0x0010;

struct SHMENUBARINFO {
  DWORD cbSize;       // sizeof(SHMENUBARINFO)
  HWND hwndParent;    // the window the softkeys' commands go to
  DWORD dwFlags;      // SHCMBF_HMENU: nToolBarId is a menu resource
  UINT nToolBarId;    // the menu resource
  HINSTANCE hInstRes; // the module that holds it
  int nBmpId;         // unused
  int cBmpImages;     // unused
  HWND hwndMB;        // out: the softkey bar
  DWORD clrBk;        // unused
};
using PSHMENUBARINFO = SHMENUBARINFO *;

// Creates the softkey bar of a window from a menu resource: its first two
// top-level items are the left and right softkeys. A command item sends the
// window WM_COMMAND with its id; a popup item opens its popup above the bar.
// The bar is drawn on the screen's last line while its window is in front,
// and F1 / F2 press its softkeys. Only SHCMBF_HMENU is supported.
BOOL SHCreateMenuBar(SHMENUBARINFO *pmbi);

// The softkey bar of a window (the one SHCreateMenuBar made for it), or null.
HWND softkeyBarOf(HWND hwnd);
// Presses softkey 0 (left) or 1 (right) of a window's bar, as a tap does.
// FALSE when the window has no such softkey.
BOOL pressSoftkey(HWND hwnd, int softkey);

// The input panel's window class: a zero-size child of this class makes the
// panel rise when an edit control takes the focus. There is no input panel
// here; the class exists so that the window can be made.
#define SIPPREF_CLASS u"SIPPREF"

// The dialog scroll-reset message of the shell (sent by dialogs that scroll).
constexpr UINT WM_SHELL_DIALOG_SCROLL_RESET = 0x0402; // WM_USER + 2
