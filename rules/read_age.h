// The read-age table: since when each message has been seen in the read
// state, for the rules that wait a while after a message was read. Not
// saved; one program-wide lock of its own guards it.
#pragma once

#include "platform/base/types.h"

#include <cstddef>
#include <cstdint>

// Creates the table's lock; start-up calls it before the first processing
// pass.
void createReadAgeLock();

// Frees every entry and deletes the lock, after the last processing pass.
void deleteReadAgeLock();

// Whole seconds since the message (entry id of entryIdSize bytes) was first
// recorded, truncated, at most 2147483647; negative when the clock was set
// back (at least -2147483648). A message not yet in the table is recorded
// now and gives 0. The recorded time never changes.
std::int32_t readAgeSeconds(std::uint32_t entryIdSize, const BYTE *entryId);

// Removes the message's entry, if there is one.
void forgetReadAge(std::uint32_t entryIdSize, const BYTE *entryId);

// Entries in the table (for tests and diagnostics).
std::size_t countReadAges();
