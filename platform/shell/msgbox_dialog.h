// The message box as a dialog of the window system's display.
#pragma once

#include "platform/base/types.h"

// Shows the box as a dialog and returns the button chosen; 0 when the
// display cannot show it on this thread.
int messageBoxDialog(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
