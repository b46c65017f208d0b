#include "app/command_channel.h"

#include "platform/window/window.h"

// The command codes (create a filter, an appointment or a task; mark a
// sender as known; ask whether it is known) are carried out here once the
// rule editor and the extension library are built in. Until then every code
// is one this program does not carry out, and the sender is told 0.
LRESULT handleCommand(HWND window, WPARAM wParam, const COPYDATASTRUCT *data)
{
  return DefWindowProcW(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(data));
}
