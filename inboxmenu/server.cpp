#include "inboxmenu/server.h"

#include "inboxmenu/extension.h"

#include <new>

std::atomic<LONG> moduleLockCount{0};

namespace {

// Makes extension objects of one kind. One factory per DllGetClassObject call.
class InboxMenuFactory final : public IClassFactory {
public:
  explicit InboxMenuFactory(LONG kind) : kind_(kind) {}

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
      return E_NOINTERFACE; // *ppv stays as the caller left it
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
  }

  ULONG AddRef() override { return static_cast<ULONG>(++references_); }

  ULONG Release() override
  {
    LONG left = --references_;
    if (left <= 0) {
      delete this;
      return 0;
    }
    return static_cast<ULONG>(left);
  }

  HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override
  {
    if (!ppvObject)
      return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter)
      return CLASS_E_NOAGGREGATION;
    IUnknown *object = createInboxMenuExtension(kind_);
    if (!object)
      return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppvObject);
    object->Release(); // the caller's reference, if any, is the one left
    return hr;
  }

  HRESULT LockServer(BOOL fLock) override
  {
    if (fLock)
      ++moduleLockCount;
    else
      --moduleLockCount;
    return S_OK;
  }

private:
  ~InboxMenuFactory() override = default;

  std::atomic<LONG> references_{1}; // the creator's reference
  LONG kind_;                       // given to every object it makes
};

} // namespace

HRESULT getClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
  LONG kind;
  if (rclsid == CLSID_InboxSoftkeyMenuExt)
    kind = KIND_SOFTKEY_MENU;
  else if (rclsid == CLSID_InboxContextMenuExt)
    kind = KIND_CONTEXT_MENU;
  else
    return CLASS_E_CLASSNOTAVAILABLE;
  auto *factory = new (std::nothrow) InboxMenuFactory(kind);
  if (!factory)
    return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

HRESULT canUnloadNow() { return moduleLockCount.load() == 0 ? S_OK : S_FALSE; }
