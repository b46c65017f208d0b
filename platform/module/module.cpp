#include "platform/module/module.h"

#include "platform/module/module_record.h"
#include "platform/text/wstr.h"

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <link.h>
#include <mutex>
#include <vector>

namespace {

using DllMainProc = BOOL (*)(HMODULE, DWORD, LPVOID);

// A data file larger than this is not a resource file.
constexpr std::size_t MAX_DATA_FILE_BYTES = 16u << 20;

// The loader lock: recursive, because an entry point may load modules too.
std::recursive_mutex &loaderLock()
{
  static auto *lock = new std::recursive_mutex;
  return *lock;
}

// Modules this copy loaded or found, each once. Never destroyed, so a
// module freed during exit still finds it.
std::vector<HMODULE> &loaded()
{
  static auto *list = new std::vector<HMODULE>;
  return *list;
}

HMODULE programModule()
{
  static HMODULE program = [] {
    auto *m = new HINSTANCE__;
    m->kind = ModuleKind::Program;
    std::error_code ec;
    m->path = std::filesystem::read_symlink("/proc/self/exe", ec);
    m->pinned = true;
    return m;
  }();
  return program;
}

bool sameNoCase(const std::string &a, const std::string &b) { return wstrICmp(utf8ToUtf16(a), utf8ToUtf16(b)) == 0; }

bool readDataFile(const std::filesystem::path &path, std::string *bytes)
{
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    return false;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  char buf[65536];
  std::size_t n;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    bytes->append(buf, n);
    if (bytes->size() > MAX_DATA_FILE_BYTES) {
      ok = false;
      break;
    }
  }
  ok = ok && !std::ferror(f);
  std::fclose(f);
  return ok;
}

void forget(HMODULE m)
{
  auto &list = loaded();
  list.erase(std::remove(list.begin(), list.end(), m), list.end());
  m->magic = 0;
  delete m;
}

// A shared object the dynamic loader holds whose file name (or path, when
// `byPath`) is `name`: its path, or empty.
std::string loaderObject(const std::string &name, bool byPath)
{
  struct Search {
    const std::string *name;
    bool byPath;
    std::string found;
  } search{&name, byPath, {}};
  dl_iterate_phdr(
      [](dl_phdr_info *info, std::size_t, void *data) {
        auto *s = static_cast<Search *>(data);
        if (!info->dlpi_name || !*info->dlpi_name)
          return 0;
        std::filesystem::path p(info->dlpi_name);
        if (sameNoCase(s->byPath ? p.lexically_normal().string() : p.filename().string(), *s->name)) {
          s->found = info->dlpi_name;
          return 1;
        }
        return 0;
      },
      &search);
  return search.found;
}

HMODULE loadSharedObject(const std::filesystem::path &path)
{
  for (HMODULE m : loaded())
    if (m->kind == ModuleKind::SharedObject && sameNoCase(m->path.string(), path.string())) {
      if (!m->pinned)
        ++m->references;
      return m;
    }
  void *dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl)
    return nullptr;
  // The same object under another name (a link) is the same module.
  for (HMODULE m : loaded())
    if (m->kind == ModuleKind::SharedObject && m->dl == dl) {
      dlclose(dl);
      if (!m->pinned)
        ++m->references;
      return m;
    }
  auto *m = new HINSTANCE__;
  m->kind = ModuleKind::SharedObject;
  m->path = path;
  m->dl = dl;
  m->references = 1;
  loaded().push_back(m);
  if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"))) {
    if (!entry(m, DLL_PROCESS_ATTACH, nullptr)) {
      // As on the handheld: a refused attach is followed by a detach.
      (void)entry(m, DLL_PROCESS_DETACH, nullptr);
      forget(m);
      dlclose(dl);
      return nullptr;
    }
  }
  return m;
}

HMODULE loadDataFile(const std::filesystem::path &path)
{
  for (HMODULE m : loaded())
    if (m->kind == ModuleKind::DataFile && sameNoCase(m->path.string(), path.string())) {
      ++m->references;
      return m;
    }
  std::string bytes;
  if (!readDataFile(path, &bytes))
    return nullptr;
  auto *m = new HINSTANCE__;
  m->kind = ModuleKind::DataFile;
  m->path = path;
  m->references = 1;
  m->dataBytes = std::move(bytes);
  loaded().push_back(m);
  return m;
}

} // namespace

std::filesystem::path programFolder()
{
  return programModule()->path.parent_path();
}

std::filesystem::path moduleFilePath(std::u16string_view name, bool dataFile)
{
  std::filesystem::path p(utf16ToUtf8(name));
  if (!dataFile) {
    std::u16string ext = utf8ToUtf16(p.extension().string());
    if (ext.empty())
      p += ".so";
    else if (wstrICmp(ext, u".dll") == 0)
      p.replace_extension(".so");
  }
  if (name.find(u'/') == std::u16string_view::npos)
    p = programFolder() / p;
  else if (p.is_relative())
    p = std::filesystem::absolute(p);
  return p.lexically_normal();
}

HMODULE LoadLibraryW(LPCWSTR lpLibFileName)
{
  return LoadLibraryExW(lpLibFileName, nullptr, 0);
}

HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
  if (!lpLibFileName || !*lpLibFileName || hFile)
    return nullptr;
  bool dataFile = (dwFlags & LOAD_LIBRARY_AS_DATAFILE) != 0;
  std::filesystem::path path = moduleFilePath(lpLibFileName, dataFile);
  std::lock_guard<std::recursive_mutex> guard(loaderLock());
  return dataFile ? loadDataFile(path) : loadSharedObject(path);
}

BOOL FreeLibrary(HMODULE hLibModule)
{
  std::lock_guard<std::recursive_mutex> guard(loaderLock());
  auto &list = loaded();
  if (std::find(list.begin(), list.end(), hLibModule) == list.end() || hLibModule->pinned)
    return FALSE;
  if (--hLibModule->references > 0)
    return TRUE;
  void *dl = hLibModule->dl;
  if (dl) {
    if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain")))
      (void)entry(hLibModule, DLL_PROCESS_DETACH, nullptr); // detach cannot refuse
  }
  forget(hLibModule);
  if (dl)
    dlclose(dl);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, const char *lpProcName)
{
  if (!moduleValid(hModule) || hModule->kind != ModuleKind::SharedObject || !lpProcName)
    return nullptr;
  return reinterpret_cast<FARPROC>(dlsym(hModule->dl, lpProcName));
}

FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName)
{
  if (!lpProcName)
    return nullptr;
  return GetProcAddress(hModule, utf16ToUtf8(lpProcName).c_str());
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
  if (!hModule)
    hModule = programModule();
  if (!moduleValid(hModule) || !lpFilename || nSize == 0)
    return 0;
  std::u16string path = utf8ToUtf16(hModule->path.string());
  if (path.size() < nSize) {
    wstrCopy(lpFilename, nSize, path);
    return static_cast<DWORD>(path.size());
  }
  wstrCopy(lpFilename, nSize, path);
  return nSize;
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName)
{
  if (!lpModuleName)
    return programModule();
  std::u16string_view name(lpModuleName);
  bool byPath = name.find(u'/') != std::u16string_view::npos;
  std::string wanted = byPath ? moduleFilePath(name, false).string()
                              : moduleFilePath(name, false).filename().string();
  std::string asGiven = utf16ToUtf8(name);
  std::lock_guard<std::recursive_mutex> guard(loaderLock());
  for (HMODULE m : loaded()) {
    std::string have = byPath ? m->path.string() : m->path.filename().string();
    if (sameNoCase(have, wanted) || sameNoCase(have, asGiven))
      return m;
  }
  std::string program = programModule()->path.filename().string();
  if (!byPath && (sameNoCase(asGiven, program) || sameNoCase(asGiven, program + ".exe")))
    return programModule();
  std::string found = loaderObject(wanted, byPath);
  if (found.empty())
    return nullptr;
  void *dl = dlopen(found.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!dl)
    return nullptr;
  auto *m = new HINSTANCE__;
  m->kind = ModuleKind::SharedObject;
  m->path = std::filesystem::path(found).lexically_normal();
  m->dl = dl;
  m->pinned = true;
  loaded().push_back(m);
  return m;
}
