// The temporary files of atomic replacements: their names, and the removal
// of the ones a writer that was killed left behind.
//
// A replacement of "<dir>/<name>" writes "<dir>/.<name>.tmp.<pid>.<random>"
// and holds an exclusive flock on it until it is renamed over the target, so
// a process that finds such a file can tell a writer at work (the lock is
// taken, or the process named is alive and the file is fresh) from one that
// is gone (the lock is free and the process is gone, or the file has not
// changed for longer than any save takes).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A file of a writer that is alive but holds no lock (between creating the
// file and locking it, or a pid reused by another process) is left alone
// until it has not changed for this long.
inline constexpr long STALE_TEMPORARY_SECONDS = 3600;

// The mkstemp pattern for a temporary file replacing target.
std::string temporaryPattern(const std::filesystem::path &target);

// Removes the stale temporary files in dir of the replacements of the file
// named `name` and of its kept damaged copy ("<name>.damaged"), or of every
// file in dir when name is empty. Names of the form earlier builds wrote
// (".<name>.<6 letters or digits>", no process, no lock) are recognised only
// for a named file, and removed only by age. A temporary file whose writer
// is at work is never removed.
void removeStaleTemporaries(const std::filesystem::path &dir, std::string_view name);

// The same for one target: removeStaleTemporaries(parent, file name).
void removeStaleTemporariesOf(const std::filesystem::path &target);
