// The process's class table: class objects that the program serves itself.
#include "platform/com/com_internal.h"

#include <mutex>
#include <vector>

namespace {

// One registered class object.
struct ClassEntry {
  DWORD cookie;       // what CoRegisterClassObject returned
  CLSID clsid;        // the class
  IUnknown *object;   // the class object; the table holds one reference
  DWORD context;      // contexts it serves
  DWORD flags;        // REGCLS_SINGLEUSE or REGCLS_MULTIPLEUSE
  bool used;          // a single-use object was handed out already
};

// The table and its lock; the lock is never held while an object is called.
struct ClassTable {
  std::mutex lock;
  std::vector<ClassEntry> entries;
  DWORD nextCookie = 1;
};

ClassTable &table()
{
  static ClassTable t;
  return t;
}

} // namespace

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown *pUnk, DWORD dwClsContext, DWORD flags,
                              LPDWORD lpdwRegister)
{
  if (!pUnk || !lpdwRegister || dwClsContext == 0)
    return E_INVALIDARG;
  *lpdwRegister = 0;
  ClassTable &t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  for (const ClassEntry &e : t.entries)
    if (e.clsid == rclsid)
      return CO_E_OBJISREG;
  pUnk->AddRef();
  DWORD cookie = t.nextCookie++;
  t.entries.push_back({cookie, rclsid, pUnk, dwClsContext, flags, false});
  *lpdwRegister = cookie;
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister)
{
  IUnknown *object = nullptr;
  {
    ClassTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto it = t.entries.begin(); it != t.entries.end(); ++it) {
      if (it->cookie == dwRegister) {
        object = it->object;
        t.entries.erase(it);
        break;
      }
    }
  }
  if (!object)
    return CO_E_OBJNOTREG;
  object->Release();
  return S_OK;
}

HRESULT classTableGet(REFCLSID rclsid, DWORD dwClsContext, REFIID riid, LPVOID *ppv)
{
  IUnknown *object = nullptr;
  {
    ClassTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (ClassEntry &e : t.entries) {
      if (e.clsid == rclsid && (e.context & dwClsContext) && !e.used) {
        object = e.object;
        object->AddRef();
        if (e.flags == REGCLS_SINGLEUSE)
          e.used = true;
        break;
      }
    }
  }
  if (!object)
    return REGDB_E_CLASSNOTREG;
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  if (FAILED(hr))
    *ppv = nullptr;
  return hr;
}
