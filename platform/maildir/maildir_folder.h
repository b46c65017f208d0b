// One Maildir on disk: a directory with cur/, new/ and tmp/, its messages
// and its subfolders (the directories beside those three). Plain file
// operations; nothing here knows the messaging interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A message file found in a folder.
struct MessageFile {
  std::string fileName; // name in its directory ("unique" or "unique:2,FS")
  bool inNew = false;   // in new/ (else cur/)
};

// The message files of a folder's new/ and cur/, in directory order. Dot
// files and directories are not messages.
std::vector<MessageFile> listMessageFiles(const std::filesystem::path &folder);

// How many times listMessageFiles ran in this process: each lists a whole
// folder, which lookups by unique name must not need (for tests and
// benchmarks).
std::uint64_t messageListings();

// Path of a message file of a folder.
std::filesystem::path messagePath(const std::filesystem::path &folder, const MessageFile &m);

// True for a directory name that is a subfolder: not cur, new or tmp, and
// not starting with "." (other programs keep their own data in dot
// directories).
bool isSubfolderName(std::string_view name);

// Names of the folder's subfolders, sorted. A symbolic link is not a
// subfolder (a store's own directory may be one; nothing below it is).
std::vector<std::string> listSubfolders(const std::filesystem::path &folder);

// Makes dir a Maildir: creates it when missing and any of cur/, new/, tmp/
// that is missing. True when all four exist afterwards.
bool ensureMaildir(const std::filesystem::path &dir);

// Removes from a folder's tmp/ what a crash left there: files that this
// host's programs wrote under names of makeUniqueName and whose process no
// longer runs, and, as Maildir readers do, any file older than 36 hours.
// Returns how many were removed.
std::size_t cleanTmp(const std::filesystem::path &folder);

// How a message is delivered.
struct DeliveryOptions {
  std::optional<std::string> info;   // deliver into cur/ with this info ("2,S"); else into new/
  std::optional<std::time_t> mtime;  // delivery time to record; else now
  std::optional<std::string> unique; // the unique name to use; else a new one
};

// Delivers bytes the Maildir way: written and flushed to tmp/<unique>,
// then linked (or renamed, where links are not possible) into new/ or cur/
// without ever replacing a file, then removed from tmp/. Returns the new
// unique name, or nothing on failure (nothing is left behind in new/, cur/
// or tmp/ then).
std::optional<std::string> deliverMessageFile(const std::filesystem::path &folder,
                                              std::string_view bytes,
                                              const DeliveryOptions &options = {});

// Renames a file to a name that must not exist yet (RENAME_NOREPLACE where
// the file system has it). errno is set on failure: EEXIST when the name is
// taken, EXDEV across file systems.
bool renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to);

// Opens a message file for reading: only a regular file, not through a
// link as the last step, and never blocking (a FIFO, /dev/zero or a /proc
// file in a folder is no message). The descriptor, or -1 with errno set
// (EINVAL for what is not a regular file); *size is the file's size.
int openMessageFile(const char *path, std::size_t *size);

// Reads a whole regular file, up to the size it has when opened; nothing
// when it cannot be opened or is not a regular file (a link as the last
// step, a FIFO, a device).
std::optional<std::string> readWholeFile(const std::filesystem::path &path);

// Writes bytes to a new file in dir/tmp/ and flushes them to disk; returns
// its path, or nothing (no file is left then).
std::optional<std::filesystem::path> writeTmpFile(const std::filesystem::path &folder,
                                                  std::string_view unique, std::string_view bytes,
                                                  std::optional<std::time_t> mtime);
