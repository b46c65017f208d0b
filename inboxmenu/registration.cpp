#include "inboxmenu/registration.h"

#include "inboxmenu/server.h"
#include "platform/com/guidtext.h"
#include "platform/module/module.h"
#include "platform/registry/registry.h"
#include "platform/text/wstr.h"

#include <string>

namespace {

constexpr const WCHAR *SOFTKEY_DISPLAY_NAME = u"Inbox Softkey Menu Extension";
constexpr const WCHAR *CONTEXT_DISPLAY_NAME = u"Inbox Context Menu Extension";
constexpr DWORD MODULE_PATH_UNITS = 261; // the longest path the class key takes

std::u16string braced(REFCLSID clsid)
{
  WCHAR text[40];
  StringFromGUID2(clsid, text, 40);
  return text;
}

std::u16string classKey(REFCLSID clsid) { return u"CLSID\\" + braced(clsid); }

std::u16string shellKey(const WCHAR *menuKey, REFCLSID clsid)
{
  return std::u16string(menuKey) + u"\\" + braced(clsid);
}

// Creates or opens the key with full access, no class text, options 0.
bool createKey(HKEY root, const std::u16string &path, HKEY *key)
{
  return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr) ==
         ERROR_SUCCESS;
}

// The key's default value, a string with its terminator.
bool setDefault(HKEY key, const WCHAR *text)
{
  DWORD bytes = static_cast<DWORD>((wstrLen(text) + 1) * sizeof(WCHAR));
  return RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), bytes) ==
         ERROR_SUCCESS;
}

// The class key with its display name, and its "InprocServer32" subkey with
// the path of the loaded module. A module not loaded under its name leaves
// the subkey without a value and fails.
HRESULT writeClassKey(REFCLSID clsid, const WCHAR *displayName)
{
  HKEY key = nullptr;
  if (!createKey(HKEY_CLASSES_ROOT, classKey(clsid), &key))
    return E_FAIL;
  HKEY server = nullptr;
  bool ok = setDefault(key, displayName) && createKey(key, u"InprocServer32", &server);
  if (ok) {
    WCHAR path[MODULE_PATH_UNITS];
    HMODULE module = GetModuleHandleW(EXTENSION_MODULE_NAME);
    DWORD n = module ? GetModuleFileNameW(module, path, MODULE_PATH_UNITS) : 0;
    ok = n > 0 && n < MODULE_PATH_UNITS && setDefault(server, path);
  }
  // Closing a handle loses nothing: its changes are made already (in the
  // registration's batch).
  if (server)
    (void)RegCloseKey(server);
  (void)RegCloseKey(key);
  return ok ? S_OK : E_FAIL;
}

HRESULT writeShellKey(const WCHAR *menuKey, REFCLSID clsid, const WCHAR *displayName)
{
  HKEY key = nullptr;
  if (!createKey(HKEY_LOCAL_MACHINE, shellKey(menuKey, clsid), &key))
    return E_FAIL;
  bool ok = setDefault(key, displayName);
  (void)RegCloseKey(key); // its change is made already
  return ok ? S_OK : E_FAIL;
}

} // namespace

// The six keys are one batch: each hive is written once, not once per key
// and value (twelve locked rewrites with a sync each made most of the
// program's start-up time on a small Inbox).
HRESULT registerServer()
{
  beginRegistryBatch();
  HRESULT hr = writeClassKey(CLSID_InboxSoftkeyMenuExt, SOFTKEY_DISPLAY_NAME);
  if (SUCCEEDED(hr))
    hr = writeShellKey(INBOX_SOFTKEY_MENU_KEY, CLSID_InboxSoftkeyMenuExt, SOFTKEY_DISPLAY_NAME);
  if (SUCCEEDED(hr))
    hr = writeClassKey(CLSID_InboxContextMenuExt, CONTEXT_DISPLAY_NAME);
  if (SUCCEEDED(hr))
    hr = writeShellKey(INBOX_CONTEXT_MENU_KEY, CLSID_InboxContextMenuExt, CONTEXT_DISPLAY_NAME);
  if (endRegistryBatch() != ERROR_SUCCESS)
    hr = E_FAIL;
  return hr;
}

HRESULT unregisterServer()
{
  const struct {
    HKEY root;
    std::u16string path;
  } keys[] = {
      {HKEY_CLASSES_ROOT, classKey(CLSID_InboxSoftkeyMenuExt) + u"\\InprocServer32"},
      {HKEY_CLASSES_ROOT, classKey(CLSID_InboxSoftkeyMenuExt)},
      {HKEY_CLASSES_ROOT, classKey(CLSID_InboxContextMenuExt) + u"\\InprocServer32"},
      {HKEY_CLASSES_ROOT, classKey(CLSID_InboxContextMenuExt)},
      {HKEY_LOCAL_MACHINE, shellKey(INBOX_SOFTKEY_MENU_KEY, CLSID_InboxSoftkeyMenuExt)},
      {HKEY_LOCAL_MACHINE, shellKey(INBOX_CONTEXT_MENU_KEY, CLSID_InboxContextMenuExt)},
  };
  HRESULT hr = S_OK;
  beginRegistryBatch();
  for (const auto &k : keys)
    if (RegDeleteKeyW(k.root, k.path.c_str()) != ERROR_SUCCESS) {
      hr = E_FAIL;
      break;
    }
  if (endRegistryBatch() != ERROR_SUCCESS)
    hr = E_FAIL;
  return hr;
}
