// The known-users list's index: an open-addressing hash table from an
// address, ignoring case, to the first entry of the list with that address.
// Used under knownUsersLock only.
#pragma once

#include "rules/known_users.h"

#include <cstddef>
#include <vector>

// One address of the list.
struct AddressSlot {
  std::size_t hash;  // addressHash of the address; meaningful only when first is set
  KnownUser *first;  // the first entry with the address in list order; null: a free slot
  std::size_t count; // entries with the address (more than one only after loading a file)
};

// The table: a power-of-two number of slots, at most half of them used.
struct AddressIndex {
  std::vector<AddressSlot> slots; // empty until the first entry
  std::size_t used = 0;           // slots in use
};

// Hash of a terminated address over the lower case of its units (as
// toLowerUnit gives it, the comparison of wstrICmp).
std::size_t addressHash(const WCHAR *address);

// The slot of the address (hash from addressHash), or null.
AddressSlot *indexFind(AddressIndex *index, const WCHAR *address, std::size_t hash);

// Counts an entry just appended to the list: a new slot pointing at it, or
// one more entry with an address already there.
void indexAdd(AddressIndex *index, KnownUser *user, std::size_t hash);

// The slot's first entry leaves the list: next (the following entry with the
// same address) takes its place, or, when it was the only one, the slot goes.
void indexRemoveFirst(AddressIndex *index, AddressSlot *slot, KnownUser *next);

// Forgets every address.
void indexClear(AddressIndex *index);
