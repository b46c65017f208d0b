// Sounds and programs: the system's player and xdg-open, or a record for tests.
#include "platform/shell/shell.h"
#include "platform/shell/spawn.h"
#include "platform/text/wstr.h"

#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The test seam's state.
std::mutex seamLock;             // guards the two fields below
bool recording = false;          // calls are recorded instead of carried out
std::vector<ShellCall> recorded; // calls recorded so far

std::string utf8(LPCWSTR text) { return text ? utf16ToUtf8(text) : std::string(); }

bool record(ShellCall call)
{
  std::lock_guard<std::mutex> guard(seamLock);
  if (!recording)
    return false;
  recorded.push_back(std::move(call));
  return true;
}

bool isReadableFile(const std::string &path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0;
}

BOOL fail(LPSHELLEXECUTEINFO info, UINT_PTR code)
{
  info->hInstApp = reinterpret_cast<HINSTANCE>(code);
  return FALSE;
}

} // namespace

BOOL PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound)
{
  if (!pszSound)
    return TRUE;
  std::string path = utf8(pszSound);
  if (record(ShellCall{ShellCall::Sound, path, fdwSound}))
    return TRUE;
  if (hmod || (fdwSound & (SND_MEMORY | SND_ALIAS)))
    return FALSE;
  if (!isReadableFile(path))
    return FALSE;
  std::string player = findExecutable("paplay");
  if (player.empty())
    player = findExecutable("aplay");
  if (player.empty())
    return FALSE;
  std::vector<std::string> argv{player, asPathArgument(path)};
  bool ok = (fdwSound & SND_ASYNC) ? spawnDetached(argv, {}) : spawnAndWait(argv);
  return ok ? TRUE : FALSE;
}

BOOL sndPlaySoundW(LPCWSTR lpszSoundName, UINT fuSound)
{
  return PlaySoundW(lpszSoundName, nullptr, SND_FILENAME | (fuSound & ~SND_ALIAS));
}

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info)
{
  if (!info || info->cbSize < sizeof(SHELLEXECUTEINFO))
    return FALSE;
  info->hProcess = nullptr;
  ShellCall call{ShellCall::Execute, utf8(info->lpFile), info->fMask, info->cbSize,
                 utf8(info->lpVerb),  utf8(info->lpParameters), utf8(info->lpDirectory),
                 info->hwnd,          info->nShow};
  if (record(call)) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_SUCCESS);
    return TRUE;
  }
  if (!call.verb.empty() && call.verb != "open")
    return fail(info, SE_ERR_NOASSOC);
  if (!call.parameters.empty())
    return fail(info, SE_ERR_NOASSOC);
  if (call.path.empty())
    return fail(info, SE_ERR_FNF);
  std::string path = call.path;
  if (path[0] != '/' && !call.directory.empty())
    path = call.directory + "/" + path;
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return fail(info, SE_ERR_FNF);
  std::vector<std::string> argv;
  if (S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0) {
    argv = {asPathArgument(path)};
  } else {
    std::string opener = findExecutable("xdg-open");
    if (opener.empty())
      return fail(info, SE_ERR_NOASSOC);
    argv = {opener, asPathArgument(path)};
  }
  if (!spawnDetached(argv, call.directory))
    return fail(info, SE_ERR_ACCESSDENIED);
  info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_SUCCESS);
  return TRUE;
}

BOOL SHInitExtraControls() { return TRUE; }

void shellRecordForTest()
{
  std::lock_guard<std::mutex> guard(seamLock);
  recording = true;
  recorded.clear();
}

void shellUseReal()
{
  std::lock_guard<std::mutex> guard(seamLock);
  recording = false;
  recorded.clear();
}

std::vector<ShellCall> shellTakeRecorded()
{
  std::lock_guard<std::mutex> guard(seamLock);
  std::vector<ShellCall> out;
  out.swap(recorded);
  return out;
}
