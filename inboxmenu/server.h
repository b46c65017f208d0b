// The in-process server: the two classes the Inbox's menus ask for, their
// class factory, and the count that tells the host whether the library may
// be unloaded.
#pragma once

#include "platform/com/com.h"

#include <atomic>

// {6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}: the message list's context menu (kind 0).
inline constexpr CLSID CLSID_InboxContextMenuExt = {
    0x6B1D2C4E, 0x93A7, 0x4F05, {0x8E, 0x2D, 0x5C, 0x7A, 0x19, 0xB3, 0xD4, 0x60}};
// {D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}: the message list's softkey menu (kind 1).
inline constexpr CLSID CLSID_InboxSoftkeyMenuExt = {
    0xD27F8A31, 0x0C6B, 0x4E9A, {0xA1, 0xF3, 0x7B, 0x48, 0xE2, 0xC9, 0x5D, 0x17}};

// Which menu an extension object serves.
constexpr LONG KIND_CONTEXT_MENU = 0;
constexpr LONG KIND_SOFTKEY_MENU = 1;

// Live extension objects plus the net number of LockServer(TRUE) calls;
// factories are not counted. Atomic, because the host may create and release
// objects on any of its threads.
extern std::atomic<LONG> moduleLockCount;

// DllGetClassObject: a new factory for the class (kind 1 for the softkey
// menu's class, 0 for the context menu's), asked for riid. The caller holds
// the only reference when riid is IUnknown or IClassFactory; otherwise the
// factory is gone again and *ppv is untouched. CLASS_E_CLASSNOTAVAILABLE for
// any other class; E_OUTOFMEMORY when no factory can be made.
HRESULT getClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);

// DllCanUnloadNow: S_OK when moduleLockCount is 0, else S_FALSE.
HRESULT canUnloadNow();
