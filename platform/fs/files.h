// Buffered byte files by device path, as the handheld's C library opens them,
// and whole-file replacement that never leaves a cut file behind.
#pragma once

#include "platform/base/types.h"

#include <cstdio>
#include <cstddef>
#include <filesystem>
#include <string>

// Opens a device path with an fopen mode ("rb", "wb+" ...); null when the path
// has no mapping or the file cannot be opened. A file opened for reading only
// is opened as by openRegularFile.
FILE *_wfopen(LPCWSTR devicePath, LPCWSTR mode);

// Opens a file for reading ("rb") only when it is a regular file reached
// without a symbolic link as its last step, and without blocking: a FIFO, a
// device or a link (to /dev/zero or to a file) is refused with errno ELOOP,
// EINVAL or ENXIO, and standard error says so. Null when refused or missing.
FILE *openRegularFile(const std::filesystem::path &path);

// Reads a whole file opened the same way (no symbolic link as its last step,
// only a regular file, never blocking), at most maxBytes of it, saying
// nothing. 0 when read whole; else the reason: ENOENT and the other errors
// of open, ELOOP for a link, EINVAL for what is not a regular file, EFBIG
// when it holds more (bytes then holds its first maxBytes).
int readRegularFile(const std::filesystem::path &path, std::size_t maxBytes, std::string *bytes);

// Keeps a damaged data file for a person to look at before it is replaced:
// its current contents become "<file>.damaged" (replacing an older one), and
// standard error says so. True when kept, or when there is no file to keep.
bool keepDamagedFile(const std::filesystem::path &file);
bool keepDamagedDeviceFile(LPCWSTR devicePath);

// Creates a folder by device path. FALSE when it exists already or cannot be
// made, as on the handheld.
BOOL CreateDirectoryW(LPCWSTR devicePath, void *securityAttributes);

// A file being written in place of another: the data goes to a temporary
// file in the same folder, which replaces the target only when all of it was
// written and flushed to disk.
struct AtomicFile {
  FILE *file = nullptr;             // the temporary file, open for writing
  std::filesystem::path target;     // the file it will replace
  std::filesystem::path temporary;  // the temporary file's path
};

// Starts a replacement of target (opened "wb+", so it can be read back too),
// after removing what replacements of target killed before their end left
// behind (temporaries.h). False when the temporary file cannot be created.
bool atomicOpen(AtomicFile *af, const std::filesystem::path &target);

// How long a replacement must last. Either way the new bytes are on disk
// before the rename, so after a crash the target is the old file or the new
// one, whole. Durable also waits until the rename itself is on disk; Visible
// leaves it to the file system's next commit, so a power loss may bring back
// the old file, while every other process sees the new one at once.
enum class RenameSync { Durable, Visible };

// Flushes, syncs, renames over the target and closes. On any failure the
// temporary file is removed, the target is left as it was, and false is
// returned.
bool atomicCommit(AtomicFile *af, RenameSync sync = RenameSync::Durable);

// Gives up a replacement: closes and removes the temporary file.
void atomicAbort(AtomicFile *af);

// Replaces a data file by device path with the bytes written by `write`,
// atomically. False when nothing was replaced.
template <class Writer>
bool replaceDeviceFile(LPCWSTR path, Writer &&write);

bool atomicOpenDevice(AtomicFile *af, LPCWSTR devicePath);

// At start-up, before a data file is read: removes what replacements of it
// killed before their end left behind (temporaries.h).
void removeStaleDeviceTemporaries(LPCWSTR devicePath);

template <class Writer>
bool replaceDeviceFile(LPCWSTR path, Writer &&write)
{
  AtomicFile af;
  if (!atomicOpenDevice(&af, path))
    return false;
  write(af.file);
  return atomicCommit(&af);
}
