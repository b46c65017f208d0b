// A watcher's in-progress list: the messages whose rules are being applied
// right now. An entry keeps a second thread (or a nested call on the same
// thread) from applying rules to the same message at the same time; while a
// message has an entry, only the thread that made it touches its record's
// fields other than lastSeen. Each function holds the watcher's
// inProgressLock for its whole run; callers may hold recordLock (taken
// first), never the other way round.
#pragma once

#include "engine/store_watcher.h"

// One message being worked on.
struct InProgressEntry {
  ULONG entryIdSize;      // size of the entry id
  BYTE *entryId;          // heap copy of the entry id
  bool refreshWanted;     // a notification asked for the record's status and flags meanwhile
  InProgressEntry *next;  // next entry, null at the tail
};

// True when the message (entry id of size bytes) has an entry.
bool isInProgress(StoreWatcher *watcher, ULONG size, const BYTE *id);

// Unlinks and frees the first entry of the message, if any. Returns whether
// a refresh was asked for while it existed.
bool endProgress(StoreWatcher *watcher, ULONG size, const BYTE *id);

// Pushes an entry for the message unless it has one already, in one step
// (the test and the push are not separate calls, so that two threads cannot
// both pass the test).
// True when this call made the entry (the caller now owns the message's
// record until endProgress); false when the message is in progress, or
// memory runs out.
bool claimProgress(StoreWatcher *watcher, ULONG size, const BYTE *id);

// When the message has an entry, marks it so that its owner refreshes the
// record's status and flags when it ends, and returns true; false when the
// message is not in progress.
bool requestRefresh(StoreWatcher *watcher, ULONG size, const BYTE *id);

// Frees every entry (the watcher is being destroyed).
void freeInProgressList(StoreWatcher *watcher);
