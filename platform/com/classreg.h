// Registration of in-process servers in HKEY_CLASSES_ROOT: what a server's
// "DllRegisterServer" writes for CoCreateInstance to find it, for servers and
// tests that want it written in one call.
#pragma once

#include "platform/com/unknown.h"

constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

// Writes HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 with the default
// value modulePath (a path, or a module name such as "Tollbeck.dll") and,
// when threadingModel is not null, the value "ThreadingModel". S_OK, or
// SELFREG_E_CLASS when the registry cannot be written or an argument is null.
HRESULT registerInprocServer(REFCLSID clsid, LPCWSTR modulePath, LPCWSTR threadingModel);

// Deletes HKEY_CLASSES_ROOT\CLSID\{clsid} with everything below it. S_OK,
// also when it was not there; SELFREG_E_CLASS when it cannot be deleted.
HRESULT unregisterInprocServer(REFCLSID clsid);
