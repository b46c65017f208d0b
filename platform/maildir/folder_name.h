// Folder display names and their directory names. A display name may hold
// any text ("Inbox/Work" is one folder, never two), but a directory name
// cannot hold "/", must not start with "." (hidden, and not a folder here)
// and must not be cur, new or tmp. Those are written as %XX escapes, and "%"
// itself as %25; every other directory name reads as it is, so folders
// made by other programs keep their names.
#pragma once

#include <string>

// The directory name for a display name (UTF-8).
std::string folderDirName(const std::u16string &displayName);

// The display name of a directory name.
std::u16string folderDisplayName(const std::string &dirName);
