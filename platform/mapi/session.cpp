// Start-up, logon, the choice of provider, and IMAPISession.
#include "platform/mapi/objects.h"

namespace qm_mapi {

namespace {

// The library's process-wide state.
std::mutex libraryLock;                   // guards the two fields below
const MapiProvider *installed = nullptr;  // provider for the next MAPILogonEx
int initializeCount = 0;                  // MAPIInitialize calls not yet undone

void postToNotifier(void *frontEnd, const MapiEvent *events, ULONG count, bool ignoreMask)
{
  notifierPost(*static_cast<FrontSession *>(frontEnd)->notifier, events, count, ignoreMask);
}

class SessionObject final : public IMAPISession {
public:
  explicit SessionObject(SessionRef session) : session_(std::move(session)) {}

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMAPISession) {
      *ppv = static_cast<IMAPISession *>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override
  {
    ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable) override
  {
    (void)ulFlags; // 0 or MAPI_UNICODE: text is always UTF-16
    if (lppTable)
      *lppTable = nullptr;
    return guarded(*session_, MapiCall::SessionGetMsgStoresTable, [&]() -> HRESULT {
      if (!lppTable)
        return MAPI_E_INVALID_PARAMETER;
      std::vector<MapiEntryBytes> stores;
      HRESULT hr = session_->provider->listStores(session_->driverSession, &stores);
      if (hr != S_OK)
        return hr;
      return createTable(session_, MAPI_STORE, std::move(stores), lppTable);
    });
  }

  HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                       LPCIID lpInterface, ULONG ulFlags, LPMDB *lppMDB) override
  {
    (void)ulUIParam; // no window is shown
    (void)ulFlags;   // stores are always opened read-write
    if (lppMDB)
      *lppMDB = nullptr;
    return guarded(*session_, MapiCall::SessionOpenMsgStore, [&]() -> HRESULT {
      if (!lppMDB || !lpEntryID || cbEntryID == 0)
        return MAPI_E_INVALID_PARAMETER;
      MapiEntryBytes id = entryBytes(cbEntryID, lpEntryID);
      MapiObjectInfo info;
      HRESULT hr = session_->provider->locate(session_->driverSession, id, &info);
      if (hr != S_OK)
        return hr;
      if (info.objType != MAPI_STORE)
        return MAPI_E_INVALID_ENTRYID;
      IUnknown *object = newObject(session_, std::move(id), info);
      void *asked = nullptr;
      hr = object->QueryInterface(lpInterface ? *lpInterface : IID_IMsgStore, &asked);
      object->Release();
      if (hr != S_OK)
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
      *lppMDB = static_cast<IMsgStore *>(asked); // every id a store answers is its one vtable
      return S_OK;
    });
  }

  HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                    ULONG *lpulObjType, LPUNKNOWN *lppUnk) override
  {
    (void)ulFlags; // objects are always opened read-write
    if (lppUnk)
      *lppUnk = nullptr;
    return guarded(*session_, MapiCall::SessionOpenEntry, [&]() -> HRESULT {
      return openEntry(session_, nullptr, cbEntryID, lpEntryID, lpInterface, lpulObjType, lppUnk);
    });
  }

  HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override
  {
    (void)ulUIParam; // no window is shown
    (void)ulFlags;
    (void)ulReserved;
    if (session_->ended.load())
      return S_OK;
    return guarded(*session_, MapiCall::SessionLogoff, [&]() -> HRESULT {
      session_->ended = true;
      notifierShutdown(*session_->notifier);
      return S_OK;
    });
  }

private:
  SessionRef session_;         // shared with every object opened through it
  std::atomic<ULONG> refs_{1}; // reference count
};

} // namespace

FrontSession::FrontSession(const MapiProvider *p)
    : provider(p), events{postToNotifier, this}, notifier(std::make_shared<NotifierState>())
{
  notifierRegister(notifier);
}

FrontSession::~FrontSession()
{
  notifierShutdown(*notifier);
  if (driverSession)
    provider->logoff(driverSession);
}

IUnknown *newObject(const SessionRef &session, MapiEntryBytes id, const MapiObjectInfo &info)
{
  switch (info.objType) {
  case MAPI_STORE:
    return new StoreObject(session, std::move(id), info);
  case MAPI_FOLDER:
    return new FolderObject(session, std::move(id), info);
  default:
    return new MessageObject(session, std::move(id), info);
  }
}

HRESULT openEntry(const SessionRef &session, const MapiEntryBytes *requiredStore, ULONG cbEntryID,
                  const ENTRYID *lpEntryID, LPCIID lpInterface, ULONG *lpulObjType,
                  LPUNKNOWN *lppUnk)
{
  if (lpulObjType)
    *lpulObjType = 0;
  if (!lppUnk || !lpEntryID || cbEntryID == 0)
    return MAPI_E_INVALID_PARAMETER;
  MapiEntryBytes id = entryBytes(cbEntryID, lpEntryID);
  MapiObjectInfo info;
  HRESULT hr = session->provider->locate(session->driverSession, id, &info);
  if (hr != S_OK)
    return hr;
  if (info.objType != MAPI_STORE && info.objType != MAPI_FOLDER && info.objType != MAPI_MESSAGE)
    return MAPI_E_INVALID_ENTRYID;
  if (requiredStore && info.store != *requiredStore)
    return MAPI_E_NOT_FOUND;
  IUnknown *object = newObject(session, std::move(id), info);
  if (lpInterface) {
    void *asked = nullptr;
    hr = object->QueryInterface(*lpInterface, &asked);
    object->Release();
    if (hr != S_OK)
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    object = static_cast<IUnknown *>(asked); // one vtable per object: same address
  }
  if (lpulObjType)
    *lpulObjType = info.objType;
  *lppUnk = object;
  return S_OK;
}

} // namespace qm_mapi

HRESULT MAPIInitialize(LPVOID lpMapiInit)
{
  using namespace qm_mapi;
  if (lpMapiInit)
    return MAPI_E_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(libraryLock);
  if (installed && installed->initialize) {
    HRESULT hr;
    try {
      hr = installed->initialize(installed->backend);
    } catch (...) {
      hr = MAPI_E_CALL_FAILED;
    }
    if (hr != S_OK)
      return hr;
  }
  ++initializeCount;
  return S_OK;
}

void MAPIUninitialize()
{
  using namespace qm_mapi;
  std::lock_guard<std::mutex> guard(libraryLock);
  if (initializeCount > 0)
    --initializeCount;
}

HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword,
                    FLAGS flFlags, LPMAPISESSION *lppSession)
{
  using namespace qm_mapi;
  (void)ulUIParam; // the handheld has one profile and asks nothing
  (void)lpszProfileName;
  (void)lpszPassword;
  (void)flFlags;
  if (!lppSession)
    return MAPI_E_INVALID_PARAMETER;
  *lppSession = nullptr;
  const MapiProvider *provider;
  {
    std::lock_guard<std::mutex> guard(libraryLock);
    if (initializeCount == 0)
      return MAPI_E_NOT_INITIALIZED;
    provider = installed;
  }
  if (!provider)
    return MAPI_E_LOGON_FAILED;
  try {
    auto session = std::make_shared<FrontSession>(provider);
    void *driverSession = nullptr;
    HRESULT hr = provider->logon(provider->backend, &session->events, &driverSession);
    if (hr != S_OK)
      return hr;
    session->driverSession = driverSession;
    *lppSession = new SessionObject(std::move(session));
    return S_OK;
  } catch (const std::bad_alloc &) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_LOGON_FAILED;
  }
}

void MAPISetProvider(const MapiProvider *provider)
{
  std::lock_guard<std::mutex> guard(qm_mapi::libraryLock);
  qm_mapi::installed = provider;
}

const MapiProvider *MAPIGetProvider()
{
  std::lock_guard<std::mutex> guard(qm_mapi::libraryLock);
  return qm_mapi::installed;
}
