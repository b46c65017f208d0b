// Device paths of the program's data files.
#pragma once

#include "platform/base/types.h"

// The folder of the data files, created before each save.
inline constexpr WCHAR DATA_FOLDER_PATH[] = u"\\Application Data\\Brindlewick";
// The rules file.
inline constexpr WCHAR RULES_FILE_PATH[] = u"\\Application Data\\Brindlewick\\Brindlewick.dat";
// The known-users file.
inline constexpr WCHAR KNOWN_USERS_FILE_PATH[] = u"\\Application Data\\Brindlewick\\KnownUsers.dat";
