// A watcher's record cache: the singly linked list of message records, newest
// first (the order a revisit walks), with an index beside it keyed by entry
// id and the records kept in the order they were last seen, so that finding a
// record and dropping stale ones does not walk the whole list. The caller
// holds the watcher's recordLock for every call.
#pragma once

#include "platform/base/types.h"
#include "rules/message_info.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

// One record's place in the cache, and what the pass keeps about the record
// beside its fields.
struct RecordSlot {
  MessageInfo *record = nullptr; // the record
  RecordSlot *before = nullptr;  // slot of the record before it in the list (nearer the head)
  RecordSlot *after = nullptr;   // slot of the record after it (record->next's)
  RecordSlot *older = nullptr;   // slot last seen before it
  RecordSlot *newer = nullptr;   // slot last seen after it
  bool incomplete = false;       // a property could not be read when the record was made: read them again
  bool refreshWanted = false;    // the store reported a change that could not be read: read status and flags again
  bool leftInbox = false;        // the store reported the message gone from the Inbox while it was in
                                 // progress: dropped once its owner is done
  bool hasDeliveryTime = false;  // deliveryTime holds the message's delivery time
  ULONGLONG deliveryTime = 0;    // PR_MESSAGE_DELIVERY_TIME (file time), for keeping ageMinutes current
};

struct RecordCache {
  MessageInfo *head = nullptr;   // first record of the list, null when empty
  // Slots by entry id; the key views the record's own copy of its id.
  std::unordered_map<std::string_view, RecordSlot> index;
  RecordSlot *firstSlot = nullptr; // slot of head
  RecordSlot *oldestSeen = nullptr; // the record seen longest ago
  RecordSlot *newestSeen = nullptr; // the record seen last
  bool swept = false;             // a full stale sweep has run
  DWORD lastFullSweep = 0;        // tick count of the last full stale sweep
  bool anyNow = false;            // a tick count has been passed in
  DWORD latestNow = 0;            // the latest tick count passed in
  bool clockWentBack = false;     // a tick count before latestNow came since the last full sweep
};

// The slot of the record with this entry id, or null.
RecordSlot *cacheFind(RecordCache *cache, ULONG size, const BYTE *id);

// The slot of a cached record (found by identity), or null.
RecordSlot *cacheSlotOf(RecordCache *cache, const MessageInfo *record);

// Puts a new record at the head of the list, seen at `now`; returns its
// slot. Null, and nothing changed, when a record with its entry id is cached
// already. May throw std::bad_alloc; the record is then not cached.
RecordSlot *cachePush(RecordCache *cache, MessageInfo *record, DWORD now);

// Sets the slot's record's lastSeen to now and makes it the newest seen.
void cacheMarkSeen(RecordCache *cache, RecordSlot *slot, DWORD now);

// Takes the record (found by identity) out of the list and the index; does
// not free it. False when it was not cached.
bool cacheUnlink(RecordCache *cache, MessageInfo *record);

// Takes out and returns, for the caller to free, every record whose lastSeen
// lies more than staleMs before now (unsigned 32-bit difference), except
// those for which keep returns true. Looks only at the oldest seen records
// while the clock runs forward, and at all of them when it went back or
// staleMs passed since the last full look.
std::vector<MessageInfo *> cacheTakeStale(RecordCache *cache, DWORD now, DWORD staleMs,
                                          const std::function<bool(const MessageInfo *)> &keep);

// Takes every record out and returns them, list order, for the caller to free.
std::vector<MessageInfo *> cacheTakeAll(RecordCache *cache);

// Records cached.
std::size_t cacheSize(const RecordCache *cache);
