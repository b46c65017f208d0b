// Loading modules and finding their exports, over dlopen. A module is a
// shared object the build produces, a data file (language resources), or the
// program itself.
//
// Name rule: a module named "X.dll" (any case of ".dll"; a name without an
// extension counts as "X.dll") is the shared object "X.so" in the same
// folder. A bare name (no '/') is looked for in the program's folder, the
// folder of /proc/self/exe; a name with a '/' is a path. Data files keep
// their name as it is.
#pragma once

#include "platform/base/types.h"

#include <filesystem>
#include <string>
#include <string_view>

// An exported function; cast it to its real type before calling (the
// compiler takes any function type from this one without a warning).
using FARPROC = void (*)();

// LoadLibraryExW flags.
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;

// Reasons given to a shared object's entry point "DllMain" (BOOL (HMODULE,
// DWORD reason, LPVOID reserved), exported with C linkage when present).
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

// Loads a shared object by the name rule above, or takes one more reference
// to it when it is loaded already (a loaded module's name compares without
// regard to case; the file system decides for one not loaded yet). On the
// first load its "DllMain" export, when present, is called with
// DLL_PROCESS_ATTACH; when that returns FALSE it is called with
// DLL_PROCESS_DETACH, the module is unloaded again and null returned. Null
// when it cannot be loaded.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);

// As LoadLibraryW; with LOAD_LIBRARY_AS_DATAFILE the file (name as it is, a
// bare name in the program's folder) is only read, for its resources: null
// when it is missing or unreadable. hFile must be null.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);

// Drops one reference; the last one calls DllMain (DLL_PROCESS_DETACH) and
// unloads the shared object, or frees the data file. FALSE for a handle this
// process did not load, or the program's own module.
BOOL FreeLibrary(HMODULE hLibModule);

// The exported function of that name, or null (also for data files and for
// the program's own module).
FARPROC GetProcAddress(HMODULE hModule, const char *lpProcName);
FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);

// The full path of the module's file into lpFilename of nSize units,
// terminated; a null module is the program. Returns the units copied without
// the terminator; when the path does not fit it is cut to nSize - 1 units and
// nSize is returned. 0 for an unknown handle.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// The loaded module of that name (compared without regard to case, by the
// name rule; a name without a folder matches the file name only), without
// taking a reference. A null name is the program's own module. A shared
// object that the dynamic loader holds without LoadLibraryW (linked in, or
// loaded by another copy of this library) is found too. Null when none.
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);

// The file a module name stands for, by the rule above: what LoadLibraryW
// (dataFile false) or LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE (true)
// opens.
std::filesystem::path moduleFilePath(std::u16string_view name, bool dataFile);

// The program's folder: the folder of /proc/self/exe.
std::filesystem::path programFolder();
