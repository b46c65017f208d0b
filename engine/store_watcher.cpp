#include "engine/store_watcher.h"

#include "services/checkpoint.h"
#include "engine/in_progress.h"
#include "engine/mapi_refs.h"
#include "engine/pass.h"
#include "platform/mapi/mapitags.h"

#include <cstring>
#include <new>

namespace {

// Opens the folder named by a notification, or null (also when the store raises).
ComRef<IMAPIFolder> openNotifiedFolder(LPMDB store, ULONG size, LPENTRYID id)
{
  ComRef<IMAPIFolder> folder;
  try {
    HRESULT hr = store->OpenEntry(size, id, nullptr, 0, nullptr, folder.putUnknown());
    if (hr != S_OK)
      folder.reset();
  } catch (...) {
    folder.reset();
  }
  return folder;
}

void onObjectEvent(StoreWatcher *watcher, const OBJECT_NOTIFICATION &obj)
{
  switch (obj.ulObjType) {
  case MAPI_STORE:
    markCheckpoint(6);
    runPass(watcher, true);
    break;
  case MAPI_FOLDER:
    markCheckpoint(7);
    if (isInboxId(watcher, obj.cbEntryID, obj.lpEntryID)) {
      markCheckpoint(8);
      runPass(watcher, false);
    }
    break;
  case MAPI_MESSAGE: {
    markCheckpoint(9);
    // A moved message is judged by the folder it is in now; one that left
    // the Inbox, by any means, leaves the cache as well.
    if (!isInboxId(watcher, obj.cbParentID, obj.lpParentID)) {
      if (isInboxId(watcher, obj.cbOldParentID, obj.lpOldParentID))
        forgetRecord(watcher, obj.lpOldID ? obj.cbOldID : obj.cbEntryID,
                     reinterpret_cast<const BYTE *>(obj.lpOldID ? obj.lpOldID : obj.lpEntryID));
      break;
    }
    markCheckpoint(10);
    ComRef<IMAPIFolder> folder = openNotifiedFolder(watcher->store, obj.cbParentID, obj.lpParentID);
    if (!folder) {
      // The change is still recorded; the next revisit applies the rules.
      CriticalSectionGuard guard(&watcher->recordLock);
      (void)findOrCreateRecord(watcher, obj.cbEntryID, reinterpret_cast<const BYTE *>(obj.lpEntryID), true);
      break;
    }
    markCheckpoint(11);
    processMessage(watcher, folder.get(), obj.cbEntryID, reinterpret_cast<const BYTE *>(obj.lpEntryID), true);
    break;
  }
  default:
    break;
  }
}

// A message deleted from the Inbox, by this program or another.
void onDeleted(StoreWatcher *watcher, const OBJECT_NOTIFICATION &obj)
{
  if (obj.ulObjType == MAPI_MESSAGE && isInboxId(watcher, obj.cbParentID, obj.lpParentID))
    forgetRecord(watcher, obj.cbEntryID, reinterpret_cast<const BYTE *>(obj.lpEntryID));
}

void onNewMail(StoreWatcher *watcher, const NEWMAIL_NOTIFICATION &mail)
{
  markCheckpoint(3);
  // New mail is processed wherever it arrived; the store names its folder.
  ComRef<IMAPIFolder> folder = openNotifiedFolder(watcher->store, mail.cbParentID, mail.lpParentID);
  if (!folder)
    return;
  markCheckpoint(4);
  processMessage(watcher, folder.get(), mail.cbEntryID, reinterpret_cast<const BYTE *>(mail.lpEntryID), true);
}

} // namespace

HRESULT StoreWatcher::QueryInterface(REFIID riid, void **ppv)
{
  if (!ppv)
    return E_POINTER;
  if (riid != IID_IMAPIAdviseSink && riid != IID_IUnknown)
    return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IMAPIAdviseSink *>(this);
  return S_OK;
}

ULONG StoreWatcher::AddRef() { return ++refCount; }

ULONG StoreWatcher::Release()
{
  ULONG current = refCount.load();
  while (current > 0) {
    if (refCount.compare_exchange_weak(current, current - 1)) {
      if (current == 1)
        delete this;
      return current - 1;
    }
  }
  return 0;
}

ULONG StoreWatcher::OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications)
{
  if (cNotif == 0 || !lpNotifications)
    return 0;
  try {
    for (ULONG i = 0; i < cNotif; ++i)
      noteFolderChange(&folders, lpNotifications[i]);
    markCheckpoint(2);
    const NOTIFICATION &first = lpNotifications[0];
    switch (first.ulEventType) {
    case fnevNewMail:
      onNewMail(this, first.info.newmail);
      break;
    case fnevObjectCreated:
    case fnevObjectModified:
    case fnevObjectMoved:
    case fnevObjectCopied:
      markCheckpoint(5);
      onObjectEvent(this, first.info.obj);
      break;
    case fnevObjectDeleted:
      onDeleted(this, first.info.obj);
      break;
    default:
      break;
    }
  } catch (...) {
    // Nothing crosses back into the messaging system; the notification is dropped.
  }
  return 0;
}

StoreWatcher::~StoreWatcher()
{
  markCheckpoint(53);
  if (store && connection) {
    try {
      (void)store->Unadvise(connection); // after the logoff there is nothing left to end
    } catch (...) {
      // The subscription ends with the session anyway.
    }
  }
  (void)MAPIFreeBuffer(inboxId);
  (void)MAPIFreeBuffer(storeName);
  if (store)
    store->Release();
  freeInProgressList(this);
  {
    CriticalSectionGuard guard(&recordLock);
    for (MessageInfo *record : cacheTakeAll(&records))
      freeMessageInfo(record);
  }
  DeleteCriticalSection(&recordLock);
  DeleteCriticalSection(&inProgressLock);
}

const WCHAR *storeDisplayName(const StoreWatcher *watcher)
{
  return watcher->storeName ? watcher->storeName->Value.lpszW : nullptr;
}

bool isInboxId(const StoreWatcher *watcher, ULONG size, const ENTRYID *id)
{
  // An Inbox that could not be read matches nothing.
  return watcher->inboxId && id && size == watcher->inboxIdSize && size > 0 &&
         std::memcmp(id, watcher->inboxId, size) == 0;
}

StoreWatcher *setUpStoreWatcher(LPMDB store)
{
  auto *watcher = new (std::nothrow) StoreWatcher;
  if (!watcher) {
    store->Release();
    return nullptr;
  }
  InitializeCriticalSection(&watcher->inProgressLock);
  InitializeCriticalSection(&watcher->recordLock);
  watcher->AddRef(); // the caller's
  markCheckpoint(1);
  watcher->store = store;
  try {
    MapiBuffer<SPropValue> name;
    if (readOneProp(store, PR_DISPLAY_NAME, &name) && name->Value.lpszW)
      watcher->storeName = name.detach();
    ULONG size = 0;
    MapiBuffer<ENTRYID> inbox;
    if (store->GetReceiveFolder(nullptr, MAPI_UNICODE, &size, inbox.put(), nullptr) == S_OK && inbox) {
      watcher->inboxIdSize = size;
      watcher->inboxId = inbox.detach();
    }
    ULONG connection = 0;
    if (store->Advise(0, nullptr, WATCHED_EVENTS, watcher, &connection) == S_OK)
      watcher->connection = connection;
  } catch (...) {
    // What could not be read stays unknown; without a subscription the
    // timer's revisits still run.
  }
  // A notification may have started a pass meanwhile: it then runs the full
  // scan as its next cycle.
  watcher->rerunRequested.store(1);
  if (watcher->busy.load() == 0)
    runPass(watcher, false);
  return watcher;
}
