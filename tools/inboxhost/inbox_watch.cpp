#include "tools/inboxhost/inbox_watch.h"

#include "engine/mapi_refs.h"
#include "platform/mapi/mapitags.h"
#include "platform/mapi/provider.h"
#include "platform/window/window.h"

#include <new>

namespace {

constexpr ULONG INBOX_EVENTS = fnevNewMail | fnevObjectCreated | fnevObjectDeleted | fnevObjectModified |
                               fnevObjectMoved | fnevObjectCopied;

// The entry ids of the session's stores.
std::vector<MapiEntryBytes> storeIds(IMAPISession *session)
{
  std::vector<MapiEntryBytes> ids;
  ComRef<IMAPITable> table;
  if (session->GetMsgStoresTable(MAPI_UNICODE, table.put()) != S_OK || !table)
    return ids;
  OneTag column(PR_ENTRYID);
  if (table->SetColumns(column.get(), 0) != S_OK)
    return ids;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return ids;
    const SPropValue &v = rows->aRow[0].lpProps[0];
    if (rows->aRow[0].cValues == 1 && v.ulPropTag == PR_ENTRYID && v.Value.bin.lpb)
      ids.emplace_back(v.Value.bin.lpb, v.Value.bin.lpb + v.Value.bin.cb);
  }
}

} // namespace

InboxWatch *InboxWatch::create(HWND window, UINT message)
{
  return new (std::nothrow) InboxWatch(window, message);
}

int InboxWatch::adviseAll(IMAPISession *session)
{
  for (MapiEntryBytes &id : storeIds(session)) {
    ComRef<IMsgStore> store;
    if (session->OpenMsgStore(0, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0,
                              store.put()) != S_OK)
      continue;
    ULONG inboxSize = 0;
    MapiBuffer<ENTRYID> inbox;
    if (store->GetReceiveFolder(nullptr, 0, &inboxSize, inbox.put(), nullptr) != S_OK || !inbox)
      continue;
    ULONG connection = 0;
    if (store->Advise(inboxSize, inbox.get(), INBOX_EVENTS, this, &connection) != S_OK)
      continue;
    subscriptions_.push_back(Subscription{store.detach(), connection});
  }
  return static_cast<int>(subscriptions_.size());
}

void InboxWatch::unadviseAll()
{
  for (Subscription &s : subscriptions_) {
    (void)s.store->Unadvise(s.connection); // MAPI_E_NOT_FOUND after the logoff: ended already
    s.store->Release();
  }
  subscriptions_.clear();
}

HRESULT InboxWatch::QueryInterface(REFIID riid, void **ppv)
{
  if (!ppv)
    return E_POINTER;
  if (riid != IID_IMAPIAdviseSink && riid != IID_IUnknown) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IMAPIAdviseSink *>(this);
  AddRef();
  return S_OK;
}

ULONG InboxWatch::AddRef() { return ++references_; }

ULONG InboxWatch::Release()
{
  ULONG left = --references_;
  if (left == 0)
    delete this;
  return left;
}

ULONG InboxWatch::OnNotify(ULONG, LPNOTIFICATION)
{
  // Every event of an Inbox changes what the list shows, or may: one
  // message covers a burst, however many come before the window reads.
  if (!pending_.exchange(true))
    (void)PostMessageW(window_, message_, 0, 0); // fails only when the window is gone
  return 0;
}
