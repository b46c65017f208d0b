// The device's file system: every program data file lives below the data
// root, and device paths ("\Application Data\X\Y.dat") map below it. All
// program file access goes through devicePath.
#pragma once

#include "platform/base/types.h"

#include <filesystem>
#include <optional>

// $QUILLMARSH_ROOT, else $XDG_DATA_HOME/quillmarsh, else
// ~/.local/share/quillmarsh. Read at every call, so a test may point it at a
// temporary folder.
std::filesystem::path dataRoot();

// Maps a device path (backslashes, optional leading backslash) below the data
// root. A path with a ".." or "." component, or an empty one, has no mapping:
// the program never names such a path and outside data must not escape the
// root through one.
std::optional<std::filesystem::path> devicePath(LPCWSTR path);
