// The application class's factory, its registration, and the display hook.
#include "platform/pim/pimserver.h"

#include "platform/com/com.h"
#include "platform/pim/item_form.h"
#include "platform/pim/pimobjects.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {

class ApplicationFactory : public IClassFactory {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
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

  HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override
  {
    if (!ppvObject)
      return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter)
      return CLASS_E_NOAGGREGATION;
    IPOutlookApp2 *app = newApplication();
    if (!app)
      return E_OUTOFMEMORY;
    HRESULT hr = app->QueryInterface(riid, ppvObject);
    app->Release();
    return hr;
  }

  // The server is part of the program: there is nothing to keep loaded.
  HRESULT LockServer(BOOL) override { return S_OK; }

private:
  ~ApplicationFactory() override = default;

  std::atomic<ULONG> references_{1}; // the creator holds the first reference
};

// Who shows items, and its context; guarded by its lock.
struct DisplayHook {
  std::mutex lock;
  PimDisplayHandler handler = nullptr;
  void *context = nullptr;
};

DisplayHook &displayHook()
{
  static DisplayHook hook;
  return hook;
}

} // namespace

HRESULT pimGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
  if (!ppv)
    return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_Application)
    return CLASS_E_CLASSNOTAVAILABLE;
  auto *factory = new (std::nothrow) ApplicationFactory;
  if (!factory)
    return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

HRESULT pimRegisterServer(DWORD *cookie)
{
  void *factory = nullptr;
  HRESULT hr = pimGetClassObject(CLSID_Application, IID_IUnknown, &factory);
  if (FAILED(hr))
    return hr;
  DWORD registration = 0;
  hr = CoRegisterClassObject(CLSID_Application, static_cast<IUnknown *>(factory), CLSCTX_INPROC_SERVER,
                             REGCLS_MULTIPLEUSE, &registration);
  static_cast<IUnknown *>(factory)->Release();
  if (cookie)
    *cookie = registration;
  return hr;
}

HRESULT pimRevokeServer(DWORD cookie) { return CoRevokeClassObject(cookie); }

void pimSetDisplayHandler(PimDisplayHandler handler, void *context)
{
  DisplayHook &hook = displayHook();
  std::lock_guard<std::mutex> guard(hook.lock);
  hook.handler = handler;
  hook.context = context;
}

HRESULT pimDisplay(const PimDisplayRequest &request)
{
  PimDisplayHandler handler;
  void *context;
  {
    DisplayHook &hook = displayHook();
    std::lock_guard<std::mutex> guard(hook.lock);
    handler = hook.handler;
    context = hook.context;
  }
  return handler ? handler(request, context) : showItemForm(request.item);
}
