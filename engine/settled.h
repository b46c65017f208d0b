// Settled records: a record whose verdict no rule can change before
// something it was judged on changes, and for which that verdict does
// nothing (no rule won, or the winner's actions have nothing left to do),
// is passed over by the revisit walk instead of being scored again every
// few seconds. What it was judged on:
//  - its own fields: every reread of the record, and every evaluation outside
//    a walk, forgets the verdict (unsettle);
//  - the rules and the download limit: the walk takes a hash of both (the
//    settle key) when it starts, after actions that may have shown a dialog
//    (during which the rules may be edited) and when it ends; a new key
//    begins a new epoch, and verdicts of an older epoch count for nothing;
//  - its age, when an age condition failed: until ageMinutes exceeds the
//    smallest such limit; when the winner's age condition held: while
//    ageMinutes still exceeds its limit (the clock may be set back);
//  - the known users, when a known-users condition failed or held in the
//    winner: until their generation changes.
// A record whose read-age condition failed is never settled, nor one whose
// winner held by its read age: that age is counted on the system clock,
// apart from the record. A record whose winner has something to do (a
// download to ask for, a move, a program to start at every evaluation) is
// never settled either: its actions are the point.
// Everything here is guarded by the watcher's recordLock.
#pragma once

#include "engine/record_cache.h"
#include "rules/match.h"

#include <climits>
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

// True when the record in the slot is settled in the state's epoch: its
// verdict, which does nothing, would be the same now. Its ageMinutes must
// be current.
bool isSettled(const SettleState &state, const RecordSlot *slot);

// What a walk's evaluation found, for remembering it in the record's slot.
struct Verdict {
  std::uint32_t epoch = 0;          // the walk's epoch when the evaluation began; 0 outside a walk
  std::uint32_t knownUsers = 0;     // knownUsersGeneration() before scoring
  bool won = false;                 // a rule won
  MatchOutlook outlook;             // what could make a failed rule hold later
  // What the winner (noteWinner) makes of the record:
  bool winnerIdle = false;          // its actions would do nothing now
  bool winnerReadAge = false;       // it held by its read age
  bool winnerKnownUsers = false;    // it held by a known sender
  std::int32_t winnerFromAge = INT32_MIN; // it holds while ageMinutes is at least this
};

// Notes in the verdict what the winning rule makes of the record, before
// its actions run: whether they would do nothing, and what its held
// conditions rest on beside the record.
void noteWinner(Verdict *verdict, const MessageInfo *record, const Rule *winner);

// Remembers the verdict in the slot: settled when it was a walk's, no
// failed read-age condition waits, and no rule won or the winner is idle
// and did not hold by its read age; otherwise not settled.
void noteVerdict(RecordSlot *slot, const Verdict &verdict);

// Forgets the slot's verdict: the record changed, or was judged outside a walk.
void unsettle(RecordSlot *slot);
