// What the known-users file code needs of the list beyond its public
// operations. Callers hold knownUsersLock.
#pragma once

#include "rules/known_users.h"

// Appends an entry as read from a file, duplicates included: the list takes
// over `address` (allocated with new[]).
void appendLoadedKnownUser(WCHAR *address, LONG level);
