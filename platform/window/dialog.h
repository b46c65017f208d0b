// Dialogs: windows made from a template of the resources (dialog units on
// the "System" 8 font's base units), run modal with a nested message loop or
// modeless, with the dialog manager's default processing and keyboard
// navigation.
//
// Names and values are the handheld's; differences are in docs/window.md.
#pragma once

#include "platform/resources/resource_table.h"
#include "platform/window/window.h"

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD DS_MODALFRAME = 0x00000080;
constexpr DWORD DS_CENTER = 0x00000800;

// The dialog procedure's result for a message, read by the dialog manager
// (GetWindowLongPtrW / SetWindowLongPtrW index).
constexpr int DWLP_MSGRESULT = 0;

// Command ids of OK and Cancel, and message box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The control notification header, WM_NOTIFY's lParam.
struct NMHDR {
  HWND hwndFrom; // the control
  UINT_PTR idFrom; // its id
  UINT code;     // the notification
};
using LPNMHDR = NMHDR *;

// Moves a dialog's focus (handled by DefDlgProcW): lParam nonzero, to the
// control wParam; lParam 0, to the next tab stop (wParam 0) or the previous.
// Posted from WM_INITDIALOG, it takes effect once the dialog is shown.
constexpr UINT WM_NEXTDLGCTL = 0x0028;

// Notifications that every control may send.
constexpr UINT NM_CLICK = static_cast<UINT>(-2);
constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
constexpr UINT NM_SETFOCUS = static_cast<UINT>(-7);
constexpr UINT NM_KILLFOCUS = static_cast<UINT>(-8);

// WM_GETDLGCODE's answers: which keys the control handles itself.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008; // an edit field: selected whole when the dialog gives it the focus
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_BUTTON = 0x2000;
constexpr LRESULT DLGC_STATIC = 0x0100;

// The class of dialogs made from templates (the handheld's "#32770").
#define WC_DIALOG (MAKEINTRESOURCEW(0x8002))

// The dialog base units: the average width and the height of the "System"
// 8 font on the screen, in pixels; a dialog unit is a quarter of the width
// horizontally and an eighth of the height vertically. Low word: width,
// high word: height.
LONG GetDialogBaseUnits();
// Converts a rectangle from the dialog's dialog units to pixels.
BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);

// Runs a modal dialog from template lpTemplateName of hInstance, owned by
// hWndParent (may be null), and returns the value given to EndDialog. The
// dialog gets WM_INITDIALOG with dwInitParam. While it runs, the calling
// thread's other windows keep getting their messages (timers, posted and
// sent messages, those from other processes). When the loop takes WM_QUIT
// the dialog ends with 0 and the quit request is made again for the outer
// loop. -1 when the template is missing or the display cannot show dialogs.
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
// The same from a template in memory (here the compiled DialogTemplate,
// not the handheld's packed bytes).
INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, const DialogTemplate *lpTemplate,
                                HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam);
// Creates a modeless dialog and returns it, shown, after WM_INITDIALOG; the
// caller's own message loop serves it. Null when the template is missing.
// Works on every display (tests drive dialogs this way).
HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
HWND CreateDialogIndirectParamW(HINSTANCE hInstance, const DialogTemplate *lpTemplate,
                                HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam);

// Ends a modal dialog with nResult: its loop ends once the current message
// has been handled, and the dialog is destroyed. On a modeless dialog it
// only hides it (the creator destroys it). FALSE for a window that is not
// a dialog.
BOOL EndDialog(HWND hDlg, INT_PTR nResult);

// The default processing of a dialog's messages, as the dialog class's
// window procedure does it: the dialog procedure first, then WM_CLOSE sends
// the command IDCANCEL, WM_SETFOCUS gives the focus to the first control
// that takes it, and the rest goes to DefWindowProcW. A dialog procedure
// never calls this itself (it returns FALSE instead).
LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);

// The dialog's control with that id (a direct child), or null.
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
// A control's id (GWLP_ID).
int GetDlgCtrlID(HWND hWnd);
// SendMessageW to the dialog's control; 0 when there is no such control.
LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax);
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);

// The next (or previous) control after hCtl that takes the focus with Tab:
// visible, enabled, WS_TABSTOP; wraps around. Null when there is none.
HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);

// The dialog manager's keys for a message of the modal loop or of a
// modeless dialog's creator: Tab and Shift-Tab, and arrows a control does
// not want, move the focus; Escape is a close request (WM_CLOSE); F1 and F2
// are the softkeys; Shift-F10 and the Menu key a tap-and-hold
// (WM_CONTEXTMENU). TRUE when the message was for the dialog (it has then
// been handled).
BOOL IsDialogMessageW(HWND hDlg, MSG *lpMsg);
