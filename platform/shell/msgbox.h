// MessageBoxW: shows a text and waits until it is closed.
//
// Without a display (the default), the caption and text go to standard error
// as one line and the call returns at once with IDOK. The window system
// installs a hook when it has a display to show the box on. Tests record boxes
// with messageBoxRecordForTest.
#pragma once

#include "platform/base/types.h"

#include <string>
#include <vector>

// Buttons and icons (uType).
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows the box, owned by hWnd (may be null); lpCaption may be null (no
// caption). Returns the button chosen.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

// The window system's display of a box; null restores the standard-error form.
// The hook runs on the caller's thread and returns when the box is closed.
using MessageBoxHook = int (*)(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
void setMessageBoxHook(MessageBoxHook hook);

// ---- Test seam ------------------------------------------------------------------

// One recorded box.
struct MessageBoxCall {
  HWND owner;          // hWnd as passed
  std::u16string text; // lpText
  bool hasCaption;     // lpCaption was not null
  std::u16string caption; // lpCaption, empty when null
  UINT type;           // uType
};

// From now on boxes are recorded and answered with `answer` at once, whatever
// hook is set; messageBoxUseReal ends recording.
void messageBoxRecordForTest(int answer = IDOK);
void messageBoxUseReal();
std::vector<MessageBoxCall> messageBoxTakeRecorded();
