#include "engine/session.h"

#include "engine/mapi_refs.h"
#include "engine/store_watcher.h"

#include <new>

LPMAPISESSION session = nullptr;
WatcherNode *watcherList = nullptr;
std::atomic<bool> sessionClosing{false};

namespace {

// openSession's MAPIInitialize succeeded and closeSession has not undone it.
bool libraryStarted = false;

// Opens every store of the stores table and sets up its watcher.
void watchStores()
{
  forEachStore(session, [](ComRef<IMsgStore> store) {
    StoreWatcher *watcher = setUpStoreWatcher(store.detach());
    if (!watcher)
      return;
    auto *node = new (std::nothrow) WatcherNode{watcher, watcherList};
    if (!node) {
      watcher->Release();
      return;
    }
    watcherList = node;
  });
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
  try {
    (void)session->Logoff(0, 0, 0); // ends every subscription, whatever it returns
  } catch (...) {
    // The session is released below all the same.
  }
  session->Release();
  session = nullptr;
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
