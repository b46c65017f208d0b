// The command channel: the extension library, running in the mail
// application, sends the main window one WM_COPYDATA per menu command, with
// the command code in dwData and the selected message's entry id as the
// bytes, and waits for the reply.
#pragma once

#include "platform/base/types.h"

struct COPYDATASTRUCT;

// The command codes (dwData).
constexpr ULONG_PTR COMMAND_CREATE_FILTER = 1;      // "Create Filter...": a rule from the message
constexpr ULONG_PTR COMMAND_CREATE_APPOINTMENT = 2; // "Create Appointment..."
constexpr ULONG_PTR COMMAND_CREATE_TASK = 3;        // "Create Task..."
constexpr ULONG_PTR COMMAND_TOGGLE_KNOWN = 4;       // "Mark as Known" / "Mark as Unknown"
constexpr ULONG_PTR COMMAND_IS_KNOWN = 5;           // is the sender known? (building the menu)

// Carries out one command and returns the reply. The bytes are the sender's:
// valid for this call only, neither kept nor freed. Codes 1 to 5 first open
// the message by its entry id through the program's session: when there is
// no session, or the id names no message, the reply is 0 and nothing else
// happens; the message is released before the reply on every path. Codes 1
// to 4 then reply 1; code 5 replies 1 when the sender is known. Any other
// code gets the default window processing (reply 0).
LRESULT handleCommand(HWND window, WPARAM wParam, const COPYDATASTRUCT *data);
