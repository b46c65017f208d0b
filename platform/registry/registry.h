// The registry with the handheld's calls and values. Each hive is a text file
// in the .reg export format under <root>/Registry/ (user.reg, machine.reg,
// classes.reg); every change is a locked read-modify-write with an atomic
// replace, so several processes can share the hives, and every read sees the
// latest file.
#pragma once

#include "platform/base/types.h"

using REGSAM = DWORD;

// Predefined root keys, as the platform's headers define them.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights. Accepted and ignored, as on the handheld.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExW options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Key paths are relative to hKey, components separated by backslashes; a
// leading backslash and empty components are ignored. Key and value names
// compare without regard to case and keep the case they were created with.
// Results are Win32 error codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such
// key or value), ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_MORE_DATA,
// ERROR_NO_MORE_ITEMS, ERROR_KEY_DELETED (the open key was deleted meanwhile),
// ERROR_WRITE_FAULT (the hive file could not be replaced).

// Opens an existing key. A null or empty subKey opens hKey's own key again.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY *phkResult);

// Opens a key, creating it and every missing key above it. *lpdwDisposition
// (when not null) tells REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, void *lpSecurityAttributes, HKEY *phkResult, LPDWORD lpdwDisposition);

// Reads a value (a null or empty name is the key's default value). *lpType
// gets the type when lpType is not null. With lpData null, *lpcbData gets
// the size in bytes (strings: including their terminator as stored). With a
// buffer of *lpcbData bytes that is too small: ERROR_MORE_DATA and *lpcbData
// = the size needed.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);

// Stores cbData bytes as the value, exactly as given (strings should include
// their terminator in cbData).
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                    DWORD cbData);

// Deletes a key with its values and, as on the handheld, all its subkeys.
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);

// Deletes one value.
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);

// The name of the dwIndex-th direct subkey (in the hive file's order) into
// lpName of *lpcchName units; *lpcchName gets the units copied without the
// terminator. ERROR_NO_MORE_ITEMS past the last; ERROR_MORE_DATA when the
// name does not fit. lpClass and lpftLastWriteTime get an empty class and a
// zero time.
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPWSTR lpClass, LPDWORD lpcchClass, FILETIME *lpftLastWriteTime);

// The dwIndex-th value of the key: name as RegEnumKeyExW, type and data as
// RegQueryValueExW.
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

// Closes a key opened by RegOpenKeyExW or RegCreateKeyExW. Closing a
// predefined root succeeds and does nothing; an unknown or already closed
// handle gives ERROR_INVALID_HANDLE.
LONG RegCloseKey(HKEY hKey);

// Not a handheld call: groups the calling thread's changes into one write
// per hive, where a series of changes belongs together (a registration's
// keys). Between beginRegistryBatch and endRegistryBatch the thread's calls
// see their own changes at once; other threads and processes see the hives
// as they were until the end, and their changes wait for it. A batch holds
// the locks of all hives from its first change to its end, so it must be
// short and must not wait for another thread's registry call. The end
// writes each changed hive once, atomically: a crash before it leaves the
// hives as they were. endRegistryBatch returns ERROR_SUCCESS, or
// ERROR_WRITE_FAULT when a hive could not be locked or replaced (the changes
// of that hive are lost). Batches nest; the outermost end writes.
void beginRegistryBatch();
LONG endRegistryBatch();
