// The extension's own access to the message stores: every call that needs
// them logs on, and logs off again before it returns.
#pragma once

#include "platform/mapi/mapidefs.h"

// Logs on into *session. The first call in a process prepares the messaging
// library: when the process has not installed a provider, the Maildir
// provider (without watching the stores: the extension only opens entries);
// then MAPIInitialize. MAPILogonEx's error on failure (*session null).
HRESULT logOnToStores(LPMAPISESSION *session);

// Logs off and releases *session, and sets it to null; nothing for null.
void logOffFromStores(LPMAPISESSION *session);
