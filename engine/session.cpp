#include "engine/session.h"

#include "engine/mapi_refs.h"
#include "engine/store_watcher.h"

#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

LPMAPISESSION session = nullptr;
WatcherNode *watcherList = nullptr;
std::atomic<bool> sessionClosing{false};

namespace {

// openSession's MAPIInitialize succeeded and closeSession has not undone it.
bool libraryStarted = false;

// Entry ids of the stores that have a watcher or are having one set up.
// Main thread only.
std::set<std::string> storeIds;

// Watchers of stores that appeared while the session was open, each set up
// (its first full scan included) on a thread of its own, so that a large
// store does not hold up the main thread; they join the list at the next
// watchNewStores.
std::mutex arrivedLock;
std::vector<StoreWatcher *> arrived; // set up, not yet listed; guarded by arrivedLock
std::vector<std::thread> setUps;     // those threads; main thread only

// Puts a watcher at the front of the list, handing it the caller's reference.
void addToList(StoreWatcher *watcher)
{
  auto *node = new (std::nothrow) WatcherNode{watcher, watcherList};
  if (!node) {
    watcher->Release();
    return;
  }
  watcherList = node;
}

// Lists the watchers the set-up threads have finished.
void listArrived()
{
  std::lock_guard<std::mutex> guard(arrivedLock);
  for (StoreWatcher *watcher : arrived)
    addToList(watcher);
  arrived.clear();
}

// Entry ids of the stores table's stores not in storeIds, in table order.
// Store calls may raise.
std::vector<std::string> storesNotWatched()
{
  std::vector<std::string> ids;
  ComRef<IMAPITable> table;
  if (session->GetMsgStoresTable(MAPI_UNICODE, table.put()) != S_OK || !table)
    return ids;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return ids;
    ULONG size = 0;
    LPENTRYID id = nullptr;
    if (!rowEntryId(rows.get(), &size, &id))
      continue;
    std::string key(reinterpret_cast<const char *>(id), size);
    if (!storeIds.count(key))
      ids.push_back(std::move(key));
  }
}

// Opens a store by its entry id; null when it cannot be opened.
ComRef<IMsgStore> openStore(const std::string &id)
{
  ComRef<IMsgStore> store;
  auto *entry = reinterpret_cast<LPENTRYID>(const_cast<char *>(id.data()));
  if (session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entry, nullptr, 0, store.put()) != S_OK)
    store.reset();
  return store;
}

// Opens every store of the stores table and sets up its watcher here.
void watchStores()
{
  for (const std::string &id : storesNotWatched()) {
    ComRef<IMsgStore> store = openStore(id);
    if (!store)
      continue;
    storeIds.insert(id);
    if (StoreWatcher *watcher = setUpStoreWatcher(store.detach()))
      addToList(watcher);
  }
}

// Sets up the watcher of a store that appeared, on a thread of its own.
void setUpOnItsOwn(LPMDB store)
{
  try {
    StoreWatcher *watcher = setUpStoreWatcher(store);
    if (!watcher)
      return;
    std::lock_guard<std::mutex> guard(arrivedLock);
    arrived.push_back(watcher);
  } catch (...) {
    // Out of memory for the list: the store goes unwatched until the next start.
  }
}

} // namespace

void openSession()
{
  if (session)
    return;
  if (MAPIInitialize(nullptr) != S_OK)
    return;
  LPMAPISESSION opened = nullptr;
  if (MAPILogonEx(0, nullptr, nullptr, 0, &opened) != S_OK || !opened) {
    MAPIUninitialize();
    return;
  }
  libraryStarted = true;
  session = opened;
  try {
    watchStores();
  } catch (...) {
    // A store call raised: the stores watched so far stay watched.
  }
}

void watchNewStores()
{
  if (!session)
    return;
  listArrived();
  try {
    for (const std::string &id : storesNotWatched()) {
      ComRef<IMsgStore> store = openStore(id);
      if (!store)
        continue;
      LPMDB opened = store.detach();
      try {
        setUps.emplace_back(setUpOnItsOwn, opened);
      } catch (...) {
        opened->Release(); // no thread now: tried again at the next call
        continue;
      }
      storeIds.insert(id);
    }
  } catch (...) {
    // A store call raised: the next call looks again.
  }
}

void forEachStore(LPMAPISESSION from, const std::function<void(ComRef<IMsgStore> store)> &visit)
{
  ComRef<IMAPITable> table;
  if (from->GetMsgStoresTable(MAPI_UNICODE, table.put()) != S_OK || !table)
    return;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return;
    ULONG size = 0;
    LPENTRYID id = nullptr;
    ComRef<IMsgStore> store;
    if (rowEntryId(rows.get(), &size, &id) && from->OpenMsgStore(0, size, id, nullptr, 0, store.put()) == S_OK &&
        store)
      visit(std::move(store));
  }
}

ComRef<IMessage> openMessageById(ULONG size, const BYTE *id)
{
  ComRef<IMessage> message;
  if (!session || size == 0 || !id)
    return message;
  HRESULT hr = session->OpenEntry(size, reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(id)), nullptr, 0,
                                  nullptr, message.putUnknown());
  if (hr != S_OK)
    message.reset();
  return message;
}

void closeSession()
{
  if (!session)
    return;
  sessionClosing.store(true);
  // A store being set up stops its scan at the next message.
  for (std::thread &setUp : setUps)
    setUp.join();
  setUps.clear();
  listArrived();
  try {
    (void)session->Logoff(0, 0, 0); // ends every subscription, whatever it returns
  } catch (...) {
    // The session is released below all the same.
  }
  session->Release();
  session = nullptr;
  storeIds.clear();
  while (WatcherNode *node = watcherList) {
    watcherList = node->next;
    node->watcher->Release();
    delete node;
  }
  if (libraryStarted) {
    MAPIUninitialize();
    libraryStarted = false;
  }
  sessionClosing.store(false);
}
