// The Inbox host's terminal mail list: the Inbox messages of every store on
// one full-screen list, newest first, with the menus that the registered
// menu extensions build for the selected message (the "Menu" softkey and
// the context menu) and their commands carried out by the extensions.
#pragma once

#include "platform/base/types.h"

// Messages the mail list posts to itself.
constexpr UINT WM_INBOX_CHANGED = 0x8001;    // WM_APP + 1: an Inbox changed (InboxWatch)
constexpr UINT_PTR REFRESH_TIMER = 1;        // the Inboxes are read this long after a change
constexpr UINT REFRESH_DELAY_MS = 250;
constexpr UINT_PTR STORES_TIMER = 2;         // stores made after the start are looked for this often
constexpr UINT STORES_CHECK_MS = 2000;

// Shows the mail list on the display until the user ends it (Exit, Escape,
// the title bar's "ok") or the thread is asked to quit. The messaging
// library and COM must be set up on the calling thread, and the host's
// resources registered for `module`. Returns 0, or -1 when the display cannot
// show dialogs or the stores cannot be opened.
int runMailList(HMODULE module);
