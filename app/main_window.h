// The hidden main window: it runs the processing pass on every timer tick,
// opens the rules list when the tray icon or a second instance asks, and
// receives the extension library's commands.
#pragma once

#include "platform/base/types.h"

// The main window's procedure (class "Quillmarsh Class").
LRESULT mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// One timer tick: revisit every store's messages, then save the rules and
// the known users when they changed.
void runTimerPass();

// Shows the rules list dialog modal unless it is open already (or wParam is
// above 0xFFFF); ends the message loop when the dialog ends with 0 ("Exit").
void showRulesList(WPARAM wParam);
