// The registry keys through which the Inbox finds the extension: a class key
// for each of the two classes, and a key per menu under the shell's
// extension keys of the Inbox's message list. Written at the program's start
// and deleted at its exit, so the Inbox offers the commands only while the
// program runs.
#pragma once

#include "platform/base/types.h"

// The Inbox's extension keys under HKEY_LOCAL_MACHINE: one subkey per
// extension class, named by its class id in braces.
constexpr const WCHAR *INBOX_SOFTKEY_MENU_KEY = u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View";
constexpr const WCHAR *INBOX_CONTEXT_MENU_KEY =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View_Context";

// The module whose path the class keys name.
constexpr const WCHAR *EXTENSION_MODULE_NAME = u"Tollbeck.dll";

// DllRegisterServer: the softkey menu's class key and shell key, then the
// context menu's, each key's default value its display name (the
// "InprocServer32" subkeys: the full path of the loaded "Tollbeck.dll").
// Stops at the first step that fails and returns E_FAIL; the keys written
// before it stay. S_OK when all were written.
HRESULT registerServer();

// DllUnregisterServer: deletes the six keys, each subkey before its parent,
// and stops with E_FAIL at the first one that cannot be deleted (a missing
// key included, so a second call removes nothing). S_OK when all six went.
HRESULT unregisterServer();
