// What the parts of the COM library share among themselves.
#pragma once

#include "platform/com/com.h"

// The class object of rclsid from the process's class table, asked for riid:
// S_OK, the object's QueryInterface failure, or REGDB_E_CLASSNOTREG when the
// table holds no such class for the context.
HRESULT classTableGet(REFCLSID rclsid, DWORD dwClsContext, REFIID riid, LPVOID *ppv);

// The class object of rclsid from the in-process server registered for it in
// HKEY_CLASSES_ROOT, asked for riid.
HRESULT inprocServerGet(REFCLSID rclsid, REFIID riid, LPVOID *ppv);

// True when the calling thread has called CoInitializeEx successfully and
// not yet undone it.
bool comInitializedOnThread();
