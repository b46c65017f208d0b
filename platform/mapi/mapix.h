// The messaging library's functions: start-up, logon, buffers, and the
// platform's choice of message-store provider.
#pragma once

#include "platform/mapi/mapidefs.h"

// Starts the library for this process. lpMapiInit must be null. Calls nest: each
// successful MAPIInitialize is matched by one MAPIUninitialize. Fails with the
// provider's error when the installed provider cannot start.
HRESULT MAPIInitialize(LPVOID lpMapiInit);
// Ends one MAPIInitialize. Sessions still open stay usable until released.
void MAPIUninitialize();

// Opens a session on the installed provider (MAPISetProvider). Window, profile,
// password and flags are accepted and ignored: the handheld has one profile.
// MAPI_E_NOT_INITIALIZED before MAPIInitialize; MAPI_E_LOGON_FAILED when no
// provider is installed or the provider refuses. The caller releases the
// session after IMAPISession::Logoff.
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword,
                    FLAGS flFlags, LPMAPISESSION *lppSession);

// Buffers. MAPIAllocateBuffer gives a block of cbSize bytes, aligned for any
// property value, zero-filled. MAPIAllocateMore gives a block chained to
// lpObject (a MAPIAllocateBuffer block): it is freed with that block and must
// not be freed on its own. Both return S_OK or MAPI_E_NOT_ENOUGH_MEMORY (*lppBuffer
// null). MAPIFreeBuffer frees a block and everything chained to it; null is
// allowed; it returns 0.
SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer);
SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer);
ULONG MAPIFreeBuffer(LPVOID lpBuffer);

// Frees a row set from QueryRows: each row's values, then the set. Null is allowed.
void FreeProws(LPSRowSet lpRows);

// ---- Platform extensions (not part of the handheld's library) --------------

struct MapiProvider; // platform/mapi/provider.h

// Installs the provider that later MAPILogonEx calls use (null: none).
// Sessions already open keep the provider they were opened with, so the
// provider must stay alive until they are all released. The program installs
// the Maildir provider at start-up; tests install the memory provider.
void MAPISetProvider(const MapiProvider *provider);
const MapiProvider *MAPIGetProvider();

// Waits, at most timeoutMs milliseconds, until every session's notification
// queue is empty and no OnNotify call is running. Returns true when that state
// was reached. For tests: changes that a provider reports synchronously are
// queued before the call that caused them returns, so after this the sinks
// have seen them. Must not be called on a notification thread.
bool MAPIWaitForNotifications(DWORD timeoutMs);
