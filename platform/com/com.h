// The COM library: per-thread initialisation, class objects and creation of
// in-process objects, with the platform's published names and results.
//
// A class is found, in this order:
// 1. in the process's class table, where CoRegisterClassObject puts class
//    objects the program serves itself (the contacts and calendar server is
//    one, see docs/pim.md);
// 2. in the registry, under HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32,
//    whose default value names the module (a path, or a name found by the
//    module rule of platform/module/module.h: "X.dll" is "X.so" beside the
//    program). The module is loaded with LoadLibraryW and its
//    "DllGetClassObject" export asked for the class object.
// Only in-process servers exist here; other contexts find no class.
//
// Differences from the handheld's library, on purpose:
// - CoRegisterClassObject and CoRevokeClassObject work on a thread that has
//   not called CoInitializeEx, so that the program can make its own servers
//   available before code that insists on being the first to initialise COM
//   on its thread.
// - Modules loaded for classes stay loaded until CoFreeUnusedLibraries (also
//   run by a thread's last CoUninitialize) finds that their
//   "DllCanUnloadNow" answers S_OK; one that has no such export stays.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

// CoInitializeEx concurrency models.
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Class contexts.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// CoRegisterClassObject flags.
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FB);
constexpr HRESULT CO_E_OBJISREG = static_cast<HRESULT>(0x800401FC);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Makes the objects of one class.
struct IClassFactory : IUnknown {
  // A new object asked for riid into *ppvObject (null on failure).
  // CLASS_E_NOAGGREGATION when pUnkOuter is given and the class cannot be
  // aggregated.
  virtual HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) = 0;
  // Keeps the server loaded (TRUE) or lets it go again (FALSE).
  virtual HRESULT LockServer(BOOL fLock) = 0;
};

// The exports of an in-process server module.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, LPVOID *ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();

// Initialises COM on the calling thread: S_OK the first time, S_FALSE when
// the thread is initialised already (each success is to be matched by one
// CoUninitialize); RPC_E_CHANGED_MODE when it was initialised with the other
// model (nothing is counted then); E_INVALIDARG for a non-null reserved
// pointer or unknown flags.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);

// Ends one successful CoInitializeEx of the calling thread; at the last one
// the thread is no longer initialised and unused modules are unloaded.
// Without a matching call it does nothing.
void CoUninitialize();

// The class object of rclsid, asked for riid. CO_E_NOTINITIALIZED on a
// thread without CoInitializeEx; REGDB_E_CLASSNOTREG when the class is not
// registered for the context; CO_E_DLLNOTFOUND when its module cannot be
// loaded; CO_E_ERRORINDLL when it lacks "DllGetClassObject"; otherwise what
// the class table's object or the module answers. *ppv is null on failure.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                         LPVOID *ppv);

// Creates one object of rclsid through its class factory, asked for riid.
// Results as CoGetClassObject, then those of IClassFactory::CreateInstance.
// E_POINTER when ppv is null; *ppv is null on failure.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID *ppv);

// Puts a class object in the process's class table for the contexts given
// (CLSCTX_INPROC_SERVER for objects created in this process); the table
// keeps a reference until CoRevokeClassObject. REGCLS_SINGLEUSE hands it out
// once. *lpdwRegister gets the cookie. CO_E_OBJISREG when the class is in the
// table already; E_INVALIDARG for null arguments.
HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown *pUnk, DWORD dwClsContext, DWORD flags,
                              LPDWORD lpdwRegister);

// Takes a class object out of the table and releases it. CO_E_OBJNOTREG for
// an unknown cookie.
HRESULT CoRevokeClassObject(DWORD dwRegister);

// Unloads the modules loaded for classes whose "DllCanUnloadNow" answers S_OK.
void CoFreeUnusedLibraries();
