// The known-users block (an optional int32 count, then per entry an int16
// byte length 0 to 127, the address in UTF-8 without terminator, and the
// int32 level) and the known-users file, which holds one block without a
// count and nothing else. Addresses that are not UTF-8 were written in
// Windows-1252 by earlier versions and are read as such.
#pragma once

#include "rules/known_users.h"

#include <cstdio>

// Reads a block at the file's current position and makes it the list (the
// old entries are freed first; duplicates in the file stay duplicates).
// Reading stops at the count (withCount; negative: no limit), at the end of
// the file, at a cut length or address, and at a length outside 0 to 127,
// which only a damaged file holds: the entries before it are kept. An entry
// whose level is cut off gets level 0. At most MAX_KNOWN_USERS_READ entries
// are read. Holds knownUsersLock throughout; does not touch knownUsersDirty.
// False when the block was damaged: a bad length, a cut entry, or entries
// left unread.
bool loadKnownUsers(FILE *file, bool withCount);

// The most entries a block gives (at most about 13 MB): a file that holds
// more is damaged, and what follows is not read.
constexpr std::size_t MAX_KNOWN_USERS_READ = 100000;

// Writes the list as a block at the file's current position; with withCount
// the number of entries first. The list's addresses fit in 127 bytes of
// UTF-8 (see KNOWN_USER_MAX_BYTES). Holds knownUsersLock throughout. Write
// errors show in the file's error flag.
void saveKnownUsers(FILE *file, bool withCount);

// Loads the known-users file; when it cannot be opened (also when it is not a
// regular file, or a link) the list stays as it is. A damaged file is kept
// as "KnownUsers.dat.damaged" before the next save replaces it.
void loadKnownUsersFile();

// Writes the list to the known-users file when knownUsersDirty is set or
// force is true, replacing the file atomically: a failure leaves the old file
// whole. knownUsersDirty is cleared when the file holds the list and set
// again when it could not be written, so the next timer tick tries again;
// a change made while the file is written keeps it set. Returns false when a
// save was due and failed.
bool saveKnownUsersFile(bool force);
