// A watcher's record cache: the message records in one order, newest first
// (the order a revisit walks), as a chain of slots held by an index keyed by
// entry id, so that finding a record does not walk the list. Stale records
// are found without a second order: the cache keeps a tick count no later
// than any record's lastSeen, and only when that lies more than the stale
// time back (or the clock went back) does a lookup look at every record.
// The caller holds the watcher's recordLock for every call.
#pragma once

#include "platform/base/types.h"
#include "rules/message_info.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

// One record's place in the cache, and what the pass keeps about the record
// beside its fields.
struct RecordSlot {
  MessageInfo *record = nullptr; // the record
  RecordSlot *before = nullptr;  // slot of the record before it (newer), null at the front
  RecordSlot *after = nullptr;   // slot of the record after it (older), null at the back
  ULONGLONG deliveryTime = 0;    // PR_MESSAGE_DELIVERY_TIME (file time), for keeping ageMinutes current
  std::int32_t settledUpToAge = 0;     // settled (settled.h): while ageMinutes is at most this
  std::int32_t settledFromAge = 0;     // settled: while ageMinutes is at least this
  std::uint32_t settledEpoch = 0;      // settled: its verdict holds in this epoch of the watcher; 0: not settled
  std::uint32_t settledKnownUsers = 0; // settled: while knownUsersGeneration() is this; 0: whatever it is
  bool incomplete = false;       // a property could not be read when the record was made: read them again
  bool refreshWanted = false;    // the store reported a change that could not be read: read status and flags again
  bool leftInbox = false;        // the store reported the message gone from the Inbox while it was in
                                 // progress: dropped once its owner is done
  bool hasDeliveryTime = false;  // deliveryTime holds the message's delivery time
};

struct RecordCache {
  // Slots by entry id; the key views the record's own copy of its id.
  std::unordered_map<std::string_view, RecordSlot> index;
  RecordSlot *first = nullptr; // slot of the newest record, null when empty
  DWORD seenSince = 0;         // no record's lastSeen lies before this tick count
  DWORD latestNow = 0;         // the latest tick count passed in
};

// The slot of the record with this entry id, or null.
RecordSlot *cacheFind(RecordCache *cache, ULONG size, const BYTE *id);

// The slot of a cached record (found by identity), or null.
RecordSlot *cacheSlotOf(RecordCache *cache, const MessageInfo *record);

// Puts a new record at the front of the list, seen at `now`; returns its
// slot. Null, and nothing changed, when a record with its entry id is cached
// already. May throw std::bad_alloc; the record is then not cached.
RecordSlot *cachePush(RecordCache *cache, MessageInfo *record, DWORD now);

// Sets the slot's record's lastSeen to now.
void cacheMarkSeen(RecordCache *cache, RecordSlot *slot, DWORD now);

// Takes the record (found by identity) out of the list and the index; does
// not free it. False when it was not cached.
bool cacheUnlink(RecordCache *cache, MessageInfo *record);

// Takes out and returns, for the caller to free, every record whose lastSeen
// lies more than staleMs before now (unsigned 32-bit difference), except
// those for which keep returns true. Looks at no record while none can be
// stale; otherwise at all of them, once, which raises the cache's seen-since
// mark to the oldest record kept.
std::vector<MessageInfo *> cacheTakeStale(RecordCache *cache, DWORD now, DWORD staleMs,
                                          const std::function<bool(const MessageInfo *)> &keep);

// Takes every record out and returns them, list order, for the caller to free.
std::vector<MessageInfo *> cacheTakeAll(RecordCache *cache);

// Records cached.
std::size_t cacheSize(const RecordCache *cache);
