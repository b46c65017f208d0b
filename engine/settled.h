// Settled records: a record for which no rule won, and for which none can
// win before something it was judged on changes, is passed over by the
// revisit walk instead of being scored again every few seconds. What it was
// judged on:
//  - its own fields: every reread of the record, and every evaluation outside
//    a walk, forgets the verdict (unsettle);
//  - the rules and the download limit: the walk takes a hash of both (the
//    settle key) when it starts, after actions that may have shown a dialog
//    (during which the rules may be edited) and when it ends; a new key
//    begins a new epoch, and verdicts of an older epoch count for nothing;
//  - its age, when an age condition failed: until ageMinutes exceeds the
//    smallest such limit;
//  - the known users, when a known-users condition failed: until their
//    generation changes.
// A record whose read-age condition failed is never settled: that wait is
// counted on the system clock, apart from the record. A record with a
// winner is never settled either: its actions run at every evaluation.
// Everything here is guarded by the watcher's recordLock.
#pragma once

#include "engine/record_cache.h"
#include "rules/match.h"

#include <cstdint>

// A watcher's epoch of verdicts.
struct SettleState {
  std::uint64_t key = 0;   // the settle key the epoch began with
  std::uint32_t epoch = 1; // the epoch; never 0
};

// The settle key now: the rule list's fingerprint and the download limit.
std::uint64_t settleKeyNow();

// Takes the key again; a key other than the epoch's begins a new epoch.
// Called when a walk starts, after actions that may have shown a dialog,
// and when the walk ends.
void retakeSettleKey(SettleState *state);

// True when the record in the slot is settled in the state's epoch: no
// rule would win for it now. Its ageMinutes must be current.
bool isSettled(const SettleState &state, const RecordSlot *slot);

// What a walk's evaluation found, for remembering it in the record's slot.
struct Verdict {
  std::uint32_t epoch = 0;          // the walk's epoch when the evaluation began; 0 outside a walk
  std::uint32_t knownUsers = 0;     // knownUsersGeneration() before scoring
  bool won = false;                 // a rule won
  MatchOutlook outlook;             // what could make a failed rule hold later
};

// Remembers the verdict in the slot: settled when it was a walk's, no rule
// won and no failed read-age condition waits; otherwise not settled.
void noteVerdict(RecordSlot *slot, const Verdict &verdict);

// Forgets the slot's verdict: the record changed, or was judged outside a walk.
void unsettle(RecordSlot *slot);
