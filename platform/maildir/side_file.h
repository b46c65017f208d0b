// The side file of a folder: what a Maildir file name cannot hold, kept per
// message by unique name. A text file, one line per message:
//
//   quillmarsh-side 1
//   <unique>\tstatus=00011000\tto=<text>\tcc=<text>\t#<checksum>
//
// Fields other than the unique name are optional; texts are UTF-8 with "%",
// tab, line breaks and other control bytes written as %XX; the checksum is
// FNV-1a (32 bits, 8 hex digits) of the line before "\t#". A line that is
// cut or whose checksum does not match is dropped when read, so a damaged
// file loses only the lines that are damaged.
#pragma once

#include "platform/base/types.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The file's name inside the folder's directory. A dot file, so Maildir
// readers, which look only at cur/, new/ and tmp/, never see it.
inline constexpr const char *SIDE_FILE_NAME = ".quillmarsh-side";

// What the side file holds for one message.
struct SideEntry {
  std::optional<DWORD> status;              // PR_MSG_STATUS as last written
  std::optional<std::u16string> displayTo;  // PR_DISPLAY_TO as written back
  std::optional<std::u16string> displayCc;  // PR_DISPLAY_CC as written back

  bool empty() const { return !status && !displayTo && !displayCc; }
  bool operator==(const SideEntry &) const = default;
};

// Entries by the message's unique name.
using SideEntries = std::map<std::string, SideEntry, std::less<>>;

// The file's text for the entries (empty entries are left out).
std::string formatSideFile(const SideEntries &entries);

// The entries of a side file's text; damaged lines are dropped.
SideEntries parseSideFile(std::string_view text);

// Reads a folder's side file; a missing one has no entries. An unreadable
// one (a directory in its place, an I/O error) has none either, as if every
// line were damaged, and is reported once on standard error.
SideEntries readSideFile(const std::filesystem::path &folder);

// Read-modify-write of a folder's side file under an exclusive lock on the
// folder (flock on its directory, so other threads and processes wait).
// `change` edits the entries and returns whether they changed; the file is
// then replaced atomically, or removed when no entry is left. False when
// the lock or the replacement failed (the file is then as it was).
bool updateSideFile(const std::filesystem::path &folder,
                    const std::function<bool(SideEntries &)> &change);

// The folder's lock alone, for operations that must keep the side file and
// the message files in step (a move writes the destination's entry and
// renames the file under one lock). Released by the destructor.
class SideFileLock {
public:
  explicit SideFileLock(const std::filesystem::path &folder);
  ~SideFileLock();
  SideFileLock(const SideFileLock &) = delete;
  SideFileLock &operator=(const SideFileLock &) = delete;
  bool held() const { return fd_ >= 0; }

private:
  int fd_ = -1; // the folder's directory, locked
};

// updateSideFile for a caller that holds the folder's lock already.
bool updateSideFileLocked(const std::filesystem::path &folder,
                          const std::function<bool(SideEntries &)> &change);
