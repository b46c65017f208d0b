// In-process servers registered in HKEY_CLASSES_ROOT, and the modules loaded
// for them.
#include "platform/com/com_internal.h"
#include "platform/com/guidtext.h"
#include "platform/module/module.h"
#include "platform/registry/registry.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Modules loaded for classes; each holds one LoadLibraryW reference.
struct LoadedModules {
  std::mutex lock;
  std::vector<HMODULE> modules;
};

LoadedModules &loaded()
{
  static LoadedModules m;
  return m;
}

// The default value of HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32: the
// server's module. Empty when the class is not registered there.
std::u16string serverModuleName(REFCLSID rclsid)
{
  WCHAR clsidText[40];
  StringFromGUID2(rclsid, clsidText, 40);
  std::u16string keyPath = u"CLSID\\";
  keyPath += clsidText;
  keyPath += u"\\InprocServer32";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  std::u16string name;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(WCHAR)) {
    std::u16string buffer(bytes / sizeof(WCHAR) + 1, u'\0');
    DWORD size = bytes;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()),
                         &size) == ERROR_SUCCESS) {
      buffer.resize(std::min<std::size_t>(buffer.size(), size / sizeof(WCHAR)));
      name.assign(buffer.c_str()); // up to the stored terminator
    }
  }
  (void)RegCloseKey(key); // a key opened for reading: nothing to lose
  return name;
}

// Keeps one reference to a module loaded for a class. The caller's own
// reference from LoadLibraryW is kept by the list the first time, and given
// back when the list holds the module already.
void keepModule(HMODULE module)
{
  LoadedModules &m = loaded();
  bool known;
  {
    std::lock_guard<std::mutex> guard(m.lock);
    known = std::find(m.modules.begin(), m.modules.end(), module) != m.modules.end();
    if (!known)
      m.modules.push_back(module);
  }
  if (known)
    FreeLibrary(module);
}

// A module's export as the function type it has (through void (*)(), the
// one cast between function types that says it is meant).
template <class Function>
Function exportOf(HMODULE module, const char *name)
{
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

HRESULT inprocServerGet(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
  std::u16string moduleName = serverModuleName(rclsid);
  if (moduleName.empty())
    return REGDB_E_CLASSNOTREG;
  HMODULE module = LoadLibraryW(moduleName.c_str());
  if (!module)
    return CO_E_DLLNOTFOUND;
  auto getClassObject = exportOf<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
  HRESULT hr = CO_E_ERRORINDLL;
  if (getClassObject) {
    // Our reference keeps the module loaded while it answers.
    hr = getClassObject(rclsid, riid, ppv);
    if (FAILED(hr))
      *ppv = nullptr;
  }
  if (SUCCEEDED(hr))
    keepModule(module);
  else
    FreeLibrary(module);
  return hr;
}

void CoFreeUnusedLibraries()
{
  LoadedModules &m = loaded();
  std::vector<HMODULE> candidates;
  {
    std::lock_guard<std::mutex> guard(m.lock);
    candidates = m.modules;
  }
  for (HMODULE module : candidates) {
    auto canUnloadNow = exportOf<LPFNCANUNLOADNOW>(module, "DllCanUnloadNow");
    if (!canUnloadNow || canUnloadNow() != S_OK)
      continue;
    bool mine;
    {
      std::lock_guard<std::mutex> guard(m.lock);
      auto it = std::find(m.modules.begin(), m.modules.end(), module);
      mine = it != m.modules.end();
      if (mine)
        m.modules.erase(it);
    }
    if (mine)
      FreeLibrary(module);
  }
}
