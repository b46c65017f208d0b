// The processing pass: for one store's watcher, a record per Inbox message in
// the record cache, the best-scoring rule chosen for each message, and that
// rule's actions carried out (actions.h).
//
// A pass starts three ways: a full Inbox scan (runPass with revisitOnly
// false: at watcher set-up and when the store reports a change of its Inbox
// folder), a single message (processMessage: a notification about a message
// in the Inbox), and a revisit of the cached records (runPass with
// revisitOnly true: every timer tick through revisitAllStores, and when the
// store reports a change of the store object), which is how age conditions
// and completed downloads come due.
//
// Threads: the main thread runs revisits, the notification thread runs
// single messages and full scans, both at once on the same watcher. A record
// pointer is only used while the watcher's recordLock is held or while its
// message has an in-progress entry made by the user (in_progress.h): records
// are dropped only under recordLock, never while in progress for another
// caller. The rule list is read without a lock (it is changed on the main
// thread only); the chosen rule is copied before its actions run, so a rule
// deleted meanwhile is never used.
#pragma once

#include "engine/store_watcher.h"
#include "platform/mapi/mapidefs.h"
#include "rules/message_info.h"

// A record not seen for longer than this is dropped by the next lookup.
inline constexpr DWORD RECORD_STALE_MS = 30000;

// True while passes are to stop between messages: a termination signal came,
// or the session is closing. What a stopped pass did not reach is evaluated
// by the next full scan (at the latest the first pass of the next start).
bool passesStopping();

// Sets up watchers for the stores that appeared (watchNewStores), then
// revisits every watcher of the watcher list, in list order (the store
// opened last first). Called by the main window on each timer tick, before
// the rules and known users are saved. Nothing happens without watchers.
void revisitAllStores();

// Runs a pass over the watcher's store: a full scan of the Inbox (every
// message looked up or recorded, then its rules applied, in contents-table
// order), or with revisitOnly a walk over the cached records, newest first
// (each record's recipients completed when still missing, its lastSeen set
// and its rules applied again unless it is settled: settled.h), holding
// recordLock for the whole walk. A
// revisit started on a thread whose own walk of this watcher is under way
// (a nested message loop) does nothing, so the outer walk stays valid. When
// another cycle was requested meanwhile (rerunRequested), it runs one more
// cycle as a full scan. Returns at once when the session is closed; store
// failures and exceptions end the cycle quietly.
void runPass(StoreWatcher *watcher, bool revisitOnly);

// Looks the message up in the cache, dropping on the way every other record
// not seen for more than RECORD_STALE_MS (unless in progress). A cached
// record gets lastSeen = now and, with refresh, its status and flags read
// again from the store (deferred to the end of its in-progress entry when
// another caller works on it, and to the next revisit when the store cannot
// be read). An uncached message is opened through the session and recorded:
// its properties read, sender and recipients reduced to bare addresses,
// missing recipients completed from the transport headers; a property the
// store failed to give (not one the message lacks) is read again, with all
// the others, at the next revisit. The record's age is kept current from
// the delivery time at every lookup and revisit. Returns the record, or null
// when the message is not cached and cannot be opened. Takes recordLock; the
// caller must hold it too for as long as it uses the result.
MessageInfo *findOrCreateRecord(StoreWatcher *watcher, ULONG size, const BYTE *id, bool refresh);

// A new record of an open message, read as findOrCreateRecord reads one
// (properties, bare addresses, recipients completed from the transport
// headers), outside any cache; the caller frees it with freeMessageInfo.
// Null when memory runs out.
MessageInfo *newRecordOf(ULONG size, const BYTE *id, IMessage *message);

// Applies the best rule to the slot's record: nothing when the slot is null
// or its message is in progress already (on another thread or in an outer call);
// otherwise the enabled rules whose mailbox is empty or names this store are
// scored, the highest score wins (a later rule wins a tie, 0 never wins) and
// its actions run inside a catch-all. A moved or deleted message, a refused
// move and any exception drop the record; the in-progress entry is always
// removed. folder is the open folder that holds the message. The caller is
// the revisit walk: it holds recordLock, which keeps the slot the record's
// until the rules are done, so ending needs no lookup by entry id, and the
// verdict is remembered in the walk's settle epoch (settled.h).
void applyRules(StoreWatcher *watcher, LPMAPIFOLDER folder, RecordSlot *slot);

// The store reported that the message left the Inbox (moved elsewhere or
// deleted, by this program or another): its record leaves the cache, at
// once, or, while the message is in progress, as soon as its owner is done.
// Nothing when it is not cached. Takes recordLock.
void forgetRecord(StoreWatcher *watcher, ULONG size, const BYTE *id);

// One message of folder, by entry id: findOrCreateRecord, then, unless the
// message is in progress already, its rules applied as by applyRules. An
// uncached message is opened and read with recordLock left, so that the
// notifications of other messages (the echoes of the pass's own moves) do
// not wait for its file; one that leaves the Inbox during that read is not
// recorded. The lookup and the in-progress entry are made under recordLock
// together, so the record stays the caller's until the rules are applied;
// the actions run without recordLock. Used by the full scan and by
// notifications.
void processMessage(StoreWatcher *watcher, LPMAPIFOLDER folder, ULONG size, const BYTE *id,
                    bool refresh);
