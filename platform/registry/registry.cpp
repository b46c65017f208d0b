#include "platform/registry/registry.h"

#include "platform/registry/hive_store.h"
#include "platform/registry/reg_file.h"

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>

// An open key: which hive, and the key's path below its root. Every call
// reads the hive file afresh, so a handle always sees the latest state.
struct HKEY__ {
  HiveId hive;         // the hive the key lives in
  std::u16string path; // below the hive's root
};

namespace {

std::mutex handlesLock;
std::unordered_set<HKEY> handles; // keys opened and not yet closed

// The hive and path a handle stands for; false for an unknown handle.
bool resolveHandle(HKEY key, HiveId *hive, std::u16string *path)
{
  auto raw = reinterpret_cast<std::uintptr_t>(key);
  if (raw >= 0x80000000u && raw <= 0x80000002u) {
    *hive = raw == 0x80000000u ? HiveId::ClassesRoot : raw == 0x80000001u ? HiveId::CurrentUser : HiveId::LocalMachine;
    path->clear();
    return true;
  }
  std::lock_guard<std::mutex> guard(handlesLock);
  if (!handles.count(key))
    return false;
  *hive = key->hive;
  *path = key->path;
  return true;
}

// Appends a relative key path to base: backslash-separated, leading and
// doubled backslashes ignored. False when a component cannot be a key name.
bool joinPath(std::u16string base, LPCWSTR sub, std::u16string *out)
{
  std::u16string_view rest(sub ? sub : u"");
  while (!rest.empty()) {
    std::size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    if (part.empty())
      continue;
    if (!validKeyName(part))
      return false;
    if (!base.empty())
      base += u'\\';
    base += part;
  }
  *out = std::move(base);
  return true;
}

HKEY newHandle(HiveId hive, std::u16string path)
{
  HKEY key = new HKEY__{hive, std::move(path)};
  std::lock_guard<std::mutex> guard(handlesLock);
  handles.insert(key);
  return key;
}

std::u16string_view valueName(LPCWSTR name) { return name ? std::u16string_view(name) : std::u16string_view(); }

// Copies a value's data as RegQueryValueExW and RegEnumValueW do.
LONG copyData(const RegValue &v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
  if (lpData && !lpcbData)
    return ERROR_INVALID_PARAMETER;
  if (lpType)
    *lpType = v.type;
  if (!lpcbData)
    return ERROR_SUCCESS;
  auto size = static_cast<DWORD>(v.data.size());
  if (lpData && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData && size)
    std::memcpy(lpData, v.data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

// Copies a name into a buffer of *count units, as the enumerations do.
LONG copyName(std::u16string_view name, LPWSTR buffer, LPDWORD count)
{
  if (!buffer || !count)
    return ERROR_INVALID_PARAMETER;
  if (name.size() >= *count)
    return ERROR_MORE_DATA;
  std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
  buffer[name.size()] = 0;
  *count = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, HKEY *phkResult)
{
  if (!phkResult)
    return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  HiveId hive;
  std::u16string base, path;
  if (!resolveHandle(hKey, &hive, &base))
    return ERROR_INVALID_HANDLE;
  if (!joinPath(base, lpSubKey, &path))
    return ERROR_INVALID_PARAMETER;
  Hive h = readHive(hive);
  const RegKey *key = findKey(h, path);
  if (!key)
    return path == base ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
  *phkResult = newHandle(hive, key->path);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM, void *, HKEY *phkResult,
                     LPDWORD lpdwDisposition)
{
  if (!phkResult || !lpSubKey)
    return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  HiveId hive;
  std::u16string base, path;
  if (!resolveHandle(hKey, &hive, &base))
    return ERROR_INVALID_HANDLE;
  if (!joinPath(base, lpSubKey, &path))
    return ERROR_INVALID_PARAMETER;
  bool created = false;
  std::u16string stored;
  LONG rc = changeHive(hive, [&](Hive &h, bool *changed) {
    // A key cannot be created below an open key that was deleted meanwhile.
    if (!findKey(h, base))
      return ERROR_KEY_DELETED;
    RegKey &key = ensureKey(h, path, &created);
    stored = key.path;
    *changed = created;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS)
    return rc;
  if (lpdwDisposition)
    *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = newHandle(hive, stored);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
  HiveId hive;
  std::u16string path;
  if (!resolveHandle(hKey, &hive, &path))
    return ERROR_INVALID_HANDLE;
  if (lpData && !lpcbData)
    return ERROR_INVALID_PARAMETER;
  Hive h = readHive(hive);
  RegKey *key = findKey(h, path);
  if (!key)
    return ERROR_KEY_DELETED;
  const RegValue *v = findValue(*key, valueName(lpValueName));
  if (!v)
    return ERROR_FILE_NOT_FOUND;
  return copyData(*v, lpType, lpData, lpcbData);
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData, DWORD cbData)
{
  HiveId hive;
  std::u16string path;
  if (!resolveHandle(hKey, &hive, &path))
    return ERROR_INVALID_HANDLE;
  std::u16string_view name = valueName(lpValueName);
  if ((!lpData && cbData) || !validValueName(name))
    return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> data(lpData, lpData + cbData);
  return changeHive(hive, [&](Hive &h, bool *changed) {
    RegKey *key = findKey(h, path);
    if (!key)
      return ERROR_KEY_DELETED;
    *changed = setValue(*key, name, dwType, std::move(data));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
  HiveId hive;
  std::u16string base, path;
  if (!resolveHandle(hKey, &hive, &base))
    return ERROR_INVALID_HANDLE;
  if (!lpSubKey)
    return ERROR_INVALID_PARAMETER;
  if (!joinPath(base, lpSubKey, &path))
    return ERROR_FILE_NOT_FOUND;
  if (path.empty())
    return ERROR_ACCESS_DENIED; // a root stays
  return changeHive(hive, [&](Hive &h, bool *changed) {
    *changed = deleteKeyTree(h, path);
    return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
  HiveId hive;
  std::u16string path;
  if (!resolveHandle(hKey, &hive, &path))
    return ERROR_INVALID_HANDLE;
  return changeHive(hive, [&](Hive &h, bool *changed) {
    RegKey *key = findKey(h, path);
    if (!key)
      return ERROR_KEY_DELETED;
    *changed = deleteValue(*key, valueName(lpValueName));
    return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcchClass, FILETIME *lpftLastWriteTime)
{
  HiveId hive;
  std::u16string path;
  if (!resolveHandle(hKey, &hive, &path))
    return ERROR_INVALID_HANDLE;
  Hive h = readHive(hive);
  if (!findKey(h, path))
    return ERROR_KEY_DELETED;
  std::vector<std::u16string> names = subkeyNames(h, path);
  if (dwIndex >= names.size())
    return ERROR_NO_MORE_ITEMS;
  LONG rc = copyName(names[dwIndex], lpName, lpcchName);
  if (rc != ERROR_SUCCESS)
    return rc;
  if (lpClass && lpcchClass && *lpcchClass > 0)
    lpClass[0] = 0;
  if (lpcchClass)
    *lpcchClass = 0;
  if (lpftLastWriteTime)
    *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
  HiveId hive;
  std::u16string path;
  if (!resolveHandle(hKey, &hive, &path))
    return ERROR_INVALID_HANDLE;
  Hive h = readHive(hive);
  RegKey *key = findKey(h, path);
  if (!key)
    return ERROR_KEY_DELETED;
  if (dwIndex >= key->values.size())
    return ERROR_NO_MORE_ITEMS;
  const RegValue &v = key->values[dwIndex];
  LONG rc = copyName(v.name, lpValueName, lpcchValueName);
  if (rc != ERROR_SUCCESS)
    return rc;
  return copyData(v, lpType, lpData, lpcbData);
}

LONG RegCloseKey(HKEY hKey)
{
  auto raw = reinterpret_cast<std::uintptr_t>(hKey);
  if (raw >= 0x80000000u && raw <= 0x80000002u)
    return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> guard(handlesLock);
    if (!handles.erase(hKey))
      return ERROR_INVALID_HANDLE;
  }
  delete hKey;
  return ERROR_SUCCESS;
}

void beginRegistryBatch() { beginHiveBatch(); }

LONG endRegistryBatch() { return endHiveBatch(); }
