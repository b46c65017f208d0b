#include "platform/com/com.h"

#include "platform/com/com_internal.h"

namespace {

// The calling thread's COM state.
struct ThreadState {
  ULONG initializations = 0; // successful CoInitializeEx calls not yet undone
  DWORD model = 0;           // the concurrency model of the first of them
};

thread_local ThreadState thread;

} // namespace

bool comInitializedOnThread() { return thread.initializations > 0; }

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
  if (pvReserved || (dwCoInit & ~COINIT_APARTMENTTHREADED) != 0)
    return E_INVALIDARG;
  if (thread.initializations > 0) {
    if (thread.model != dwCoInit)
      return RPC_E_CHANGED_MODE;
    ++thread.initializations;
    return S_FALSE;
  }
  thread.model = dwCoInit;
  thread.initializations = 1;
  return S_OK;
}

void CoUninitialize()
{
  if (thread.initializations == 0)
    return;
  if (--thread.initializations == 0)
    CoFreeUnusedLibraries();
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                         LPVOID *ppv)
{
  if (!ppv)
    return E_POINTER;
  *ppv = nullptr;
  if (pvReserved)
    return E_INVALIDARG;
  if (!comInitializedOnThread())
    return CO_E_NOTINITIALIZED;
  HRESULT hr = classTableGet(rclsid, dwClsContext, riid, ppv);
  if (hr != REGDB_E_CLASSNOTREG)
    return hr;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER))
    return REGDB_E_CLASSNOTREG;
  return inprocServerGet(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID *ppv)
{
  if (!ppv)
    return E_POINTER;
  *ppv = nullptr;
  void *factoryPointer = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, &factoryPointer);
  if (FAILED(hr))
    return hr;
  auto *factory = static_cast<IClassFactory *>(factoryPointer);
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr))
    *ppv = nullptr;
  return hr;
}
