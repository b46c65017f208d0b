// The command channel: the extension library, running in the mail
// application, sends the main window one WM_COPYDATA per menu command, with
// the command code in dwData and the selected message's entry id as the
// bytes, and waits for the reply.
#pragma once

#include "platform/base/types.h"

struct COPYDATASTRUCT;

// Carries out one command and returns the reply. The bytes are the sender's:
// valid for this call only, neither kept nor freed. A code this program does
// not carry out gets the default window processing (reply 0).
LRESULT handleCommand(HWND window, WPARAM wParam, const COPYDATASTRUCT *data);
