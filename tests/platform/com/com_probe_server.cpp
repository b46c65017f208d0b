// The in-process server the COM tests register in classes.reg and load by
// its module name. It counts its live objects and server locks, so that
// "DllCanUnloadNow" tells the truth. Its entry point notes each load and
// unload in the environment variable QM_COM_PROBE_EVENTS ("A" attach, "D"
// detach).
#include "tests/platform/com/com_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::atomic<LONG> liveObjects{0}; // probe objects and factories not yet released
std::atomic<LONG> locks{0};       // LockServer(TRUE) not yet undone

class Probe : public IComProbe {
public:
  Probe() { ++liveObjects; }
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IComProbe)
      return E_NOINTERFACE;
    *ppv = static_cast<IComProbe *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override
  {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  int Answer() override { return 42; }
  LONG LiveObjects() override { return liveObjects; }

private:
  ~Probe() override { --liveObjects; }
  std::atomic<ULONG> references_{1};
};

class Factory : public IClassFactory {
public:
  Factory() { ++liveObjects; }
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
      return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override
  {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
  {
    *ppv = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    auto *probe = new (std::nothrow) Probe;
    if (!probe)
      return E_OUTOFMEMORY;
    HRESULT hr = probe->QueryInterface(riid, ppv);
    probe->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override
  {
    locks += lock ? 1 : -1;
    return S_OK;
  }

private:
  ~Factory() override { --liveObjects; }
  std::atomic<ULONG> references_{1};
};

} // namespace

extern "C" {

BOOL DllMain(HMODULE, DWORD reason, LPVOID)
{
  const char *old = std::getenv("QM_COM_PROBE_EVENTS");
  std::string events = old ? old : "";
  events += reason == 1 ? 'A' : 'D'; // DLL_PROCESS_ATTACH or DLL_PROCESS_DETACH
  setenv("QM_COM_PROBE_EVENTS", events.c_str(), 1);
  return TRUE;
}

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
  *ppv = nullptr;
  if (rclsid != CLSID_ComProbe)
    return CLASS_E_CLASSNOTAVAILABLE;
  auto *factory = new (std::nothrow) Factory;
  if (!factory)
    return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

HRESULT DllCanUnloadNow() { return liveObjects == 0 && locks == 0 ? S_OK : S_FALSE; }
}
