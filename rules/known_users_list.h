// What the known-users file code needs of the list beyond its public
// operations. Callers hold knownUsersLock.
#pragma once

#include "rules/known_users.h"

// Appends an entry as read from a file, duplicates included, with a copy of
// the address cut as the list keeps it.
void appendLoadedKnownUser(const WCHAR *address, LONG level);
