// The library's objects for stores, folders and messages: reference counted,
// each naming one provider object by its entry id. Only platform/mapi's
// sources include this.
#pragma once

#include "platform/mapi/frontend.h"

#include <initializer_list>

namespace qm_mapi {

// What every store, folder and message object shares: the reference count,
// the interface ids it answers and IMAPIProp.
template <class Interface>
class PropObject : public Interface {
public:
  PropObject(SessionRef session, MapiEntryBytes id, MapiObjectInfo info)
      : session_(std::move(session)), id_(std::move(id)), info_(std::move(info))
  {
  }

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override
  {
    ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues,
                   LPSPropValue *lppPropArray) override;
  HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray,
                   LPSPropProblemArray *lppProblems) override;
  HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                       LPUNKNOWN *lppUnk) override;

  const MapiEntryBytes &entryId() const { return id_; }
  const MapiObjectInfo &info() const { return info_; }
  const SessionRef &session() const { return session_; }

protected:
  // QueryInterface over the ids this object answers (all on one vtable).
  HRESULT answer(REFIID riid, void **ppv, std::initializer_list<const IID *> ids)
  {
    if (!ppv)
      return E_POINTER;
    for (const IID *id : ids)
      if (*id == riid) {
        *ppv = static_cast<Interface *>(this);
        AddRef();
        return S_OK;
      }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

  SessionRef session_;          // the session it was opened in
  MapiEntryBytes id_;           // the provider object it stands for
  MapiObjectInfo info_;         // its type, store and parent when opened
  std::atomic<ULONG> refs_{1};  // reference count; the object deletes itself at 0
};

// IMAPIProp's methods over any provider object; the templates forward to these.
HRESULT propGetProps(FrontSession &session, const MapiEntryBytes &id, ULONG objType,
                     LPSPropTagArray tags, ULONG flags, ULONG *count, LPSPropValue *values);
HRESULT propSetProps(FrontSession &session, const MapiEntryBytes &id, ULONG count,
                     LPSPropValue values, LPSPropProblemArray *problems);
HRESULT propOpenProperty(const SessionRef &session, const MapiEntryBytes &id, ULONG tag,
                         LPCIID iid, ULONG options, ULONG flags, LPUNKNOWN *out);

template <class Interface>
HRESULT PropObject<Interface>::GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags,
                                        ULONG *lpcValues, LPSPropValue *lppPropArray)
{
  return propGetProps(*session_, id_, info_.objType, lpPropTagArray, ulFlags, lpcValues,
                      lppPropArray);
}

template <class Interface>
HRESULT PropObject<Interface>::SetProps(ULONG cValues, LPSPropValue lpPropArray,
                                        LPSPropProblemArray *lppProblems)
{
  return propSetProps(*session_, id_, cValues, lpPropArray, lppProblems);
}

template <class Interface>
HRESULT PropObject<Interface>::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions,
                                            ULONG ulFlags, LPUNKNOWN *lppUnk)
{
  return propOpenProperty(session_, id_, ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk);
}

class MessageObject final : public PropObject<IMessage> {
public:
  using PropObject::PropObject;
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    return answer(riid, ppv, {&IID_IUnknown, &IID_IMAPIProp, &IID_IMessage});
  }
};

class FolderObject final : public PropObject<IMAPIFolder> {
public:
  using PropObject::PropObject;
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    return answer(riid, ppv, {&IID_IUnknown, &IID_IMAPIProp, &IID_IMAPIContainer, &IID_IMAPIFolder});
  }
  HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
  HRESULT GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
  HRESULT CreateFolder(ULONG ulFolderType, LPTSTR lpszFolderName, LPTSTR lpszFolderComment,
                       LPCIID lpInterface, ULONG ulFlags, LPMAPIFOLDER *lppFolder) override;
  HRESULT CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                       ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
};

class StoreObject final : public PropObject<IMsgStore> {
public:
  using PropObject::PropObject;
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    return answer(riid, ppv, {&IID_IUnknown, &IID_IMAPIProp, &IID_IMsgStore});
  }
  HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                 LPMAPIADVISESINK lpAdviseSink, ULONG *lpulConnection) override;
  HRESULT Unadvise(ULONG ulConnection) override;
  HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                    ULONG *lpulObjType, LPUNKNOWN *lppUnk) override;
  HRESULT GetReceiveFolder(LPTSTR lpszMessageClass, ULONG ulFlags, ULONG *lpcbEntryID,
                           LPENTRYID *lppEntryID, LPTSTR *lppszExplicitClass) override;
};

// The library's object for an entry of the given type (one reference).
IUnknown *newObject(const SessionRef &session, MapiEntryBytes id, const MapiObjectInfo &info);

} // namespace qm_mapi
