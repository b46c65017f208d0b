// A store's transport area (<root>/Transport/<store>/): the full texts of its
// header-only messages, one file per unique name, and the temporary files of
// those being written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Writes a full text into the area under the unique name, atomically: a
// flocked temporary file (".<unique>.tmp.<pid>.<random>", platform/fs's
// temporaries) first, renamed once all of it is on disk, so the area never
// holds a cut text. False, with nothing left behind, when it cannot be written.
bool writeTransportText(const std::filesystem::path &area, const std::string &unique, std::string_view text);

// Removes what writers killed midway left in the area: their temporary files
// once the writer is gone (never one still being written), and ".<unique>.part"
// files, which earlier builds wrote without a lock, once unchanged for
// STALE_TEMPORARY_SECONDS.
void sweepTransportArea(const std::filesystem::path &area);
