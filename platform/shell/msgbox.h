// MessageBoxW: shows a text and waits until it is closed.
//
// On a display that shows dialogs, and on the thread that shows them, the box
// is a full-screen dialog with the text and its buttons (Escape answers
// Cancel, or No). Otherwise (headless, or another thread) the caption and text
// go to standard error as one line and the call returns at once with the
// box's first button. A hook replaces both; tests record boxes with
// messageBoxRecordForTest.
#pragma once

#include "platform/base/types.h"
#include "platform/window/dialog.h"

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

// Results: IDOK, IDCANCEL, IDYES, IDNO (platform/window/dialog.h).

// Shows the box, owned by hWnd (may be null); lpCaption may be null (no
// caption). Returns the button chosen.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

// Another form of the box; null restores the dialog / standard-error form.
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
