// IMsgStore: subscriptions, opening entries, the receive folder.
#include "platform/mapi/objects.h"

#include <cstring>

namespace qm_mapi {

HRESULT StoreObject::Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                            LPMAPIADVISESINK lpAdviseSink, ULONG *lpulConnection)
{
  if (lpulConnection)
    *lpulConnection = 0;
  return guarded(*session_, MapiCall::StoreAdvise, [&]() -> HRESULT {
    if (!lpAdviseSink || !lpulConnection || (cbEntryID > 0 && !lpEntryID))
      return MAPI_E_INVALID_PARAMETER;
    return notifierAdvise(session_->notifier, id_, entryBytes(cbEntryID, lpEntryID), ulEventMask,
                          lpAdviseSink, lpulConnection);
  });
}

HRESULT StoreObject::Unadvise(ULONG ulConnection)
{
  // After the logoff every subscription is gone already: not found.
  if (session_->ended.load())
    return MAPI_E_NOT_FOUND;
  return guarded(*session_, MapiCall::StoreUnadvise,
                 [&]() -> HRESULT { return notifierUnadvise(*session_->notifier, ulConnection); });
}

HRESULT StoreObject::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                               ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
  (void)ulFlags; // objects are always opened read-write
  if (lppUnk)
    *lppUnk = nullptr;
  return guarded(*session_, MapiCall::StoreOpenEntry, [&]() -> HRESULT {
    return openEntry(session_, &id_, cbEntryID, lpEntryID, lpInterface, lpulObjType, lppUnk);
  });
}

HRESULT StoreObject::GetReceiveFolder(LPTSTR lpszMessageClass, ULONG ulFlags, ULONG *lpcbEntryID,
                                      LPENTRYID *lppEntryID, LPTSTR *lppszExplicitClass)
{
  (void)ulFlags; // text is always UTF-16
  if (lpcbEntryID)
    *lpcbEntryID = 0;
  if (lppEntryID)
    *lppEntryID = nullptr;
  if (lppszExplicitClass)
    *lppszExplicitClass = nullptr;
  return guarded(*session_, MapiCall::StoreGetReceiveFolder, [&]() -> HRESULT {
    if (!lpcbEntryID || !lppEntryID)
      return MAPI_E_INVALID_PARAMETER;
    MapiEntryBytes folder;
    HRESULT hr = session_->provider->receiveFolder(
        session_->driverSession, id_, lpszMessageClass ? lpszMessageClass : u"", &folder);
    if (hr != S_OK)
      return hr;
    if (folder.empty())
      return MAPI_E_NOT_FOUND;
    void *block = nullptr;
    hr = MAPIAllocateBuffer(static_cast<ULONG>(folder.size()), &block);
    if (hr != S_OK)
      return hr;
    std::memcpy(block, folder.data(), folder.size());
    if (lppszExplicitClass) {
      void *text = nullptr;
      hr = MAPIAllocateBuffer(sizeof(WCHAR), &text);
      if (hr != S_OK) {
        MAPIFreeBuffer(block);
        return hr;
      }
      *lppszExplicitClass = static_cast<LPTSTR>(text);
    }
    *lpcbEntryID = static_cast<ULONG>(folder.size());
    *lppEntryID = static_cast<LPENTRYID>(block);
    return S_OK;
  });
}

} // namespace qm_mapi
