// The entries of the program's string table that the mail engine uses. The
// numbers are the table's own; the dialogs know the same entries by their
// resource names (IDS_ARCHIVE, IDS_CANNOT_COPY).
#pragma once

#include "platform/base/types.h"

// "Archive": the name of the archive folder, a direct subfolder of a store's
// top folder.
inline constexpr UINT ARCHIVE_FOLDER_STRING = 40019;
// "Cannot copy the message.": the engine's only message box, shown when the
// store refuses a rule's move.
inline constexpr UINT CANNOT_COPY_STRING = 40025;
