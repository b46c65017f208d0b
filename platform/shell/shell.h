// The handheld's shell seams: playing a sound file, starting a program or
// opening a file, and the shell library's start-up call.
//
// Real forms: a sound is played by the system's player (paplay, else aplay);
// an executable file is run directly, anything else is opened with xdg-open.
// Both are started detached (the program never waits for or reaps them), with
// their arguments passed as a vector, never through a shell, and standard
// input and output on /dev/null. Tests replace both with a recording form.
#pragma once

#include "platform/base/types.h"

#include <string>
#include <vector>

// PlaySoundW flags.
constexpr DWORD SND_SYNC = 0x00000000;      // return when the sound has been played
constexpr DWORD SND_ASYNC = 0x00000001;     // return at once
constexpr DWORD SND_NODEFAULT = 0x00000002; // no default sound when the file is missing
constexpr DWORD SND_MEMORY = 0x00000004;
constexpr DWORD SND_LOOP = 0x00000008;
constexpr DWORD SND_NOSTOP = 0x00000010;
constexpr DWORD SND_ALIAS = 0x00010000;
constexpr DWORD SND_FILENAME = 0x00020000;  // pszSound is a file name

// Plays the sound file pszSound (an ordinary path, UTF-16). Supported: a file
// name (SND_FILENAME, or no type flag), SND_ASYNC or synchronous. hmod must be
// null. A null pszSound stops nothing and returns TRUE (sounds are not
// tracked). FALSE when the file is not a readable file, no player is found,
// the player cannot be started, or (synchronous) it fails.
BOOL PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound);
// The older form: fuSound takes SND_ASYNC/SND_SYNC; the name is a file name.
BOOL sndPlaySoundW(LPCWSTR lpszSoundName, UINT fuSound);

// ShellExecuteEx's record. The handheld's is 60 bytes; here cbSize is
// sizeof(SHELLEXECUTEINFO) (pointers are wider), and callers set it so.
struct SHELLEXECUTEINFO {
  DWORD cbSize;          // sizeof(SHELLEXECUTEINFO)
  ULONG fMask;           // SEE_MASK_* (accepted, ignored)
  HWND hwnd;             // owner window for error messages (unused)
  LPCWSTR lpVerb;        // null or u"open"; other verbs fail
  LPCWSTR lpFile;        // the program or file, an ordinary path
  LPCWSTR lpParameters;  // must be null or empty: arguments are not supported
  LPCWSTR lpDirectory;   // working directory of the started program, or null
  int nShow;             // show command (unused)
  HINSTANCE hInstApp;    // out: > 32 on success, else an SE_ERR_* value
  void *lpIDList;        // unused
  LPCWSTR lpClass;       // unused
  HKEY hkeyClass;        // unused
  DWORD dwHotKey;        // unused
  HANDLE hIcon;          // unused
  HANDLE hProcess;       // out: always null (the program is detached)
};
using LPSHELLEXECUTEINFO = SHELLEXECUTEINFO *;

constexpr UINT_PTR SE_ERR_FNF = 2;          // file not found
constexpr UINT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr UINT_PTR SE_ERR_NOASSOC = 31;     // nothing to open it with
constexpr UINT_PTR SE_ERR_SUCCESS = 33;     // our value for success (> 32)

// Starts lpFile: an executable regular file is run directly; any other
// existing file is handed to xdg-open. TRUE when the process was started;
// FALSE with hInstApp set otherwise (missing file, unsupported verb or
// parameters, nothing to start it with).
BOOL ShellExecuteEx(LPSHELLEXECUTEINFO lpExecInfo);

// The shell library's start-up call: nothing to do here. Returns TRUE.
BOOL SHInitExtraControls();

// ---- Test seam ------------------------------------------------------------------

// One recorded call of PlaySoundW/sndPlaySoundW or ShellExecuteEx.
struct ShellCall {
  enum Kind { Sound, Execute } kind = Sound; // which call
  std::string path = {};       // the sound file or lpFile, UTF-8
  DWORD flags = 0;             // Sound: fdwSound; Execute: fMask
  DWORD cbSize = 0;            // Execute: the record's cbSize
  std::string verb = {};       // Execute: lpVerb, empty when null
  std::string parameters = {}; // Execute: lpParameters, empty when null
  std::string directory = {};  // Execute: lpDirectory, empty when null
  HWND hwnd = nullptr;         // Execute: the record's hwnd
  int nShow = 0;               // Execute: the record's nShow
};

// From now on, sounds and programs are recorded, not started, and the calls
// report success. shellUseReal returns to the real forms.
void shellRecordForTest();
void shellUseReal();
// The calls recorded since shellRecordForTest (or the last take), in order;
// takes them out of the record.
std::vector<ShellCall> shellTakeRecorded();
