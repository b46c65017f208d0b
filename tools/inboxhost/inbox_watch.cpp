#include "tools/inboxhost/inbox_watch.h"

#include "engine/mapi_refs.h"
#include "platform/mapi/mapitags.h"
#include "platform/mapi/provider.h"
#include "platform/window/window.h"
#include "tools/inboxhost/inbox_messages.h"

#include <algorithm>
#include <new>

namespace {

constexpr ULONG INBOX_EVENTS = fnevNewMail | fnevObjectCreated | fnevObjectDeleted | fnevObjectModified |
                               fnevObjectMoved | fnevObjectCopied;

} // namespace

InboxWatch *InboxWatch::create(HWND window, UINT message)
{
  return new (std::nothrow) InboxWatch(window, message);
}

int InboxWatch::adviseAll(IMAPISession *session)
{
  int added = 0;
  for (MapiEntryBytes &id : storeIds(session)) {
    if (std::any_of(subscriptions_.begin(), subscriptions_.end(),
                    [&](const Subscription &s) { return s.id == id; }))
      continue;
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
    subscriptions_.push_back(Subscription{id, store.detach(), connection});
    ++added;
  }
  return added;
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
