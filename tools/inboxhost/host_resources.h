// The Inbox host's own resources: the mail list's screen and its softkeys.
// Command ids stay below the range the host gives its menu extensions.
#pragma once

#include "platform/base/types.h"

constexpr UINT IDD_MAIL_LIST = 1;       // the mail list, full screen
constexpr UINT IDC_MESSAGES = 1001;     // its list of messages
constexpr UINT IDR_MAIL_LIST_MENU = 2;  // its softkeys: "Exit" and the "Menu" popup
constexpr UINT IDM_EXIT = 2001;         // ends the host
constexpr UINT IDM_REFRESH = 2002;      // reads the Inboxes again

// Makes the host's resources those of `module` (the host program's handle).
void registerHostResources(HMODULE module);
