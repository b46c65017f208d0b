// The watcher of one message store: the store's advise sink, the owner of its
// record cache and in-progress list, and the pass flags.
//
// Threads: the store calls OnNotify on its notification thread while the
// main thread may be in a timer revisit of the same watcher. The record cache
// and `walking` are guarded by recordLock, the in-progress list by
// inProgressLock (taken after recordLock, never before it); refCount, busy
// and rerunRequested are atomic. The other fields are set once by
// setUpStoreWatcher and only read afterwards.
#pragma once

#include "engine/folder_index.h"
#include "engine/record_cache.h"
#include "engine/settled.h"
#include "platform/mapi/mapidefs.h"
#include "platform/sync/sync.h"

#include <atomic>
#include <vector>

struct InProgressEntry; // in_progress.h

// A message being read for a new record while recordLock is left (pass.cpp);
// forgetRecord marks it when the message leaves the Inbox meanwhile.
struct PendingRead {
  ULONG size = 0;          // size of the entry id
  const BYTE *id = nullptr; // the entry id
  bool leftInbox = false;  // the message left the Inbox during the read
};

// The event mask of the watcher's subscription: objects created, modified,
// moved and deleted, anywhere in the store (a deletion only to forget the
// message's record).
inline constexpr ULONG WATCHED_EVENTS =
    fnevObjectCreated | fnevObjectModified | fnevObjectMoved | fnevObjectDeleted;

struct StoreWatcher final : IMAPIAdviseSink {
  // Accepts IID_IMAPIAdviseSink and IID_IUnknown (adds a reference, stores
  // the watcher in *ppv, S_OK); any other id gives E_NOINTERFACE and leaves
  // *ppv alone.
  HRESULT QueryInterface(REFIID riid, void **ppv) override;
  // Adds a reference; returns the new count.
  ULONG AddRef() override;
  // Drops a reference when there is one; the last destroys the watcher
  // (unsubscribes, frees its buffers, releases its store, frees its records
  // and in-progress entries). Returns the new count.
  ULONG Release() override;
  // Every folder or store event of the array empties the folder index
  // (folder_index.h). Handles the first notification of the array (the
  // others are otherwise ignored):
  // new mail and a message created, modified, moved or copied into the Inbox
  // are processed as single messages; a message moved out of the Inbox or
  // deleted from it loses its record (forgetRecord); a change of the Inbox
  // folder starts a full scan, a change of the store object a revisit;
  // everything else is ignored. When the Inbox cannot be opened for a message's change, the
  // message's record is still refreshed (or made) and the next revisit
  // applies the rules. Runs the processing on the calling thread; never lets
  // an exception out. Returns 0.
  ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override;

  std::atomic<ULONG> refCount{0};       // references held by the store, the watcher list and deliveries
  ULONG connection = 0;                 // the subscription's number from IMsgStore::Advise; 0 without one
  RecordCache records;                  // the record cache (pass.h), guarded by recordLock
  CRITICAL_SECTION recordLock{};        // guards records and walking (recursive)
  LPMDB store = nullptr;                // the store; the watcher owns this reference
  LPSPropValue storeName = nullptr;     // PR_DISPLAY_NAME of the store (its text is the name); null when unreadable
  ULONG inboxIdSize = 0;                // size of the Inbox entry id; 0 when it could not be read
  LPENTRYID inboxId = nullptr;          // the Inbox entry id; null when it could not be read
  std::atomic<BYTE> rerunRequested{0};  // 1: a pass under way runs another cycle, as a full scan
  std::atomic<BYTE> busy{0};            // passes under way (0: idle)
  CRITICAL_SECTION inProgressLock{};    // guards inProgress
  InProgressEntry *inProgress = nullptr; // messages whose rules are being applied (in_progress.h)
  bool walking = false;                 // a revisit walk holds recordLock (guarded by it)
  SettleState settle;                   // the revisit's epoch of verdicts (settled.h), guarded by recordLock
  FolderIndex folders;                  // where the rules' folder names led (folder_index.h)
  std::vector<PendingRead *> pendingReads; // new records being read, guarded by recordLock

private:
  ~StoreWatcher() override; // only Release destroys a watcher
};

// The store's display name, or null when it could not be read.
const WCHAR *storeDisplayName(const StoreWatcher *watcher);

// True when the entry id (size bytes at id) is the watcher's Inbox.
bool isInboxId(const StoreWatcher *watcher, ULONG size, const ENTRYID *id);

// Creates the watcher of an opened store, taking over the caller's reference
// to the store: reads the store's name and Inbox, subscribes to its changes
// (a failure only means no notifications), and runs the first full Inbox
// scan, or asks a pass already started by a notification to run one. Returns
// the watcher with one reference for the caller (the store holds another
// while subscribed), or null when memory runs out (the store is released).
StoreWatcher *setUpStoreWatcher(LPMDB store);
