// The known-users list: sender addresses with a trust level, in insertion
// order, compared case-insensitively. One program-wide lock guards it; the
// processing passes use it from several threads at once.
#pragma once

#include "platform/base/types.h"
#include "platform/sync/sync.h"

#include <cstddef>
#include <cstdint>

// Longest address the known-users file holds, in bytes of UTF-8. The list
// keeps every address cut to it (whole characters), and compares the asked
// address cut the same way, so an entry reads back from the file as it was
// and a longer address still finds it.
constexpr int KNOWN_USER_MAX_BYTES = 127;

// Levels of an entry. Files may hold any other value, which is kept as it is.
constexpr LONG KNOWN_USER_SEEN = 1;  // seen once by a rule's move: a candidate
constexpr LONG KNOWN_USER_KNOWN = 2; // known: the known-users condition holds

// One entry of the list.
struct KnownUser {
  WCHAR *address;  // copy of the address, terminated, cut to KNOWN_USER_MAX_BYTES of UTF-8; kept in
                   // the entry's own allocation
  LONG level;      // KNOWN_USER_SEEN, KNOWN_USER_KNOWN, or what a file held (0 when cut short)
  KnownUser *next; // next entry, null at the tail
};

// Head of the list, null when empty. Read it only while holding
// knownUsersLock; change the list only through the functions below, which
// keep the address index beside it.
extern KnownUser *knownUsers;

// 1 after a change that the known-users file lacks. Set and cleared under
// knownUsersLock.
extern BYTE knownUsersDirty;

// The lock of the list and of knownUsersDirty (recursive). It exists from
// createKnownUsersLock, called by start-up before the list is first loaded,
// to deleteKnownUsersLock, called after the last save at shutdown, which
// frees the list first: there is no list without its lock.
extern CRITICAL_SECTION knownUsersLock;
void createKnownUsersLock();
void deleteKnownUsersLock();

// Counts the sender of address (non-null, cut as the list keeps it) once
// toward being known: an entry with level 2 or more stays as it is; a lower
// one becomes 2 when manual, else rises by one; an absent address is
// appended with level 2 when manual, else 1. Every change sets
// knownUsersDirty.
void addKnownUser(const WCHAR *address, bool manual);

// Unlinks and frees the first entry whose address equals address (non-null)
// ignoring case, and sets knownUsersDirty; nothing when there is none.
void removeKnownUser(const WCHAR *address);

// True when the first entry whose address equals address (non-null),
// ignoring case, has level 2 or more.
bool isKnownUser(const WCHAR *address);

// A number, never 0, that changes with every change of the list that may
// turn isKnownUser's answer for some address (an address becoming known, an
// entry removed, the list cleared or loaded). Read before asking
// isKnownUser: while it stays the same, the answers do.
std::uint32_t knownUsersGeneration();

// Entries in the list.
std::size_t countKnownUsers();

// Frees every entry; the list becomes empty. Does not touch knownUsersDirty.
void clearKnownUsers();
