// The backup file that the settings dialog's Export writes and its Import
// reads, and that the rules tool shares: the tray flag (one byte, 1 when the
// tray icon is shown), the rule block with a count, and the known-users
// block with a count; nothing after it. With no rules and no known users it
// is 23 bytes long.
//
// An import checks the whole file before anything is replaced: a file that
// is empty, cut short, damaged or not a backup at all is refused with the
// reason, and the lists, the data files and the tray setting stay as they
// were.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Bytes of a backup with no rules and no known users.
constexpr std::size_t BACKUP_EMPTY_SIZE = 1 + 14 + 4 + 4;

// The largest file an import reads: far beyond any real rule and
// known-users list, small enough to hold in memory.
constexpr std::size_t BACKUP_MAX_SIZE = std::size_t{64} << 20;

// What a backup holds.
struct BackupSummary {
  bool trayIcon = false;       // the tray flag
  std::size_t rules = 0;       // rules in its rule block
  std::size_t knownUsers = 0;  // entries in its known-users block
};

// Writes the rule list, the known-users list and the tray setting (the
// stored "ShowTrayIcon", not a dialog's check box) to file, replacing it
// atomically: a failure leaves an existing file whole. False, with *reason
// saying why, when the file could not be written.
bool exportBackup(const std::filesystem::path &file, std::string *reason);

// Checks bytes as a whole backup file. True with *summary filled when they
// are one; false with *reason saying what is wrong (empty, cut short,
// another kind of file, damaged, data after its end).
bool checkBackup(std::string_view bytes, BackupSummary *summary, std::string *reason);

// Makes the rules and known users of a checked backup (checkBackup true)
// the rule list and the known-users list, through the same block readers
// as the data files. Touches no file and no setting.
void loadBackupLists(std::string_view bytes);

// Imports a backup file: reads and checks it whole, then replaces the rule
// list and the known-users list, rewrites the rules file and the known-users
// file at once (each replaced atomically) and stores the tray flag as
// "ShowTrayIcon". When the file is refused, or the rules file cannot be
// written, nothing has changed (the old lists are back in memory); when only
// the known-users file cannot be written the import stands with
// knownUsersDirty set, so the program's next save writes it. False, with
// *reason, in both cases. *summary describes the file when it was read.
bool importBackup(const std::filesystem::path &file, BackupSummary *summary, std::string *reason);
