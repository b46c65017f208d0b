#include "rules/backup.h"

#include "platform/fs/files.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "services/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

std::int32_t int32At(std::string_view bytes, std::size_t at)
{
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
  return static_cast<std::int32_t>(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
}

std::string plural(std::size_t n, const char *one, const char *many)
{
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Checks the known-users block at `at`; false with the reason when it is not whole.
bool checkKnownUsersBlock(std::string_view bytes, std::size_t at, BackupSummary *summary, std::string *reason)
{
  if (bytes.size() - at < 4) {
    *reason = "the file is cut short: the count of known senders is missing";
    return false;
  }
  std::int32_t count = int32At(bytes, at);
  if (count < 0) {
    *reason = "the file is damaged: its count of known senders is negative";
    return false;
  }
  at += 4;
  for (std::int32_t i = 0; i < count; ++i) {
    std::string which = "known sender " + std::to_string(i + 1) + " of " + std::to_string(count);
    if (bytes.size() - at < 2) {
      *reason = "the file is cut short at " + which;
      return false;
    }
    auto length = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                            static_cast<unsigned char>(bytes[at + 1]) << 8);
    if (length < 0 || length > KNOWN_USER_MAX_BYTES) {
      *reason = "the file is damaged: " + which + " has a length of " + std::to_string(length) +
                " bytes (at most " + std::to_string(KNOWN_USER_MAX_BYTES) + ")";
      return false;
    }
    at += 2;
    if (bytes.size() - at < static_cast<std::size_t>(length) + 4) {
      *reason = "the file is cut short at " + which;
      return false;
    }
    at += static_cast<std::size_t>(length) + 4;
  }
  if (at != bytes.size()) {
    *reason = "the file goes on for " + plural(bytes.size() - at, "byte", "bytes") +
              " after its known senders: not a backup file";
    return false;
  }
  summary->knownUsers = static_cast<std::size_t>(count);
  return true;
}

// Reads a whole regular file of at most BACKUP_MAX_SIZE bytes.
bool readWhole(const std::filesystem::path &file, std::string *bytes, std::string *reason)
{
  struct stat st;
  if (stat(file.c_str(), &st) != 0) {
    *reason = "cannot read " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = file.string() + " is not a file";
    return false;
  }
  if (static_cast<std::uintmax_t>(st.st_size) > BACKUP_MAX_SIZE) {
    *reason = file.string() + " is too large to be a backup file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *reason = "cannot read " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad() || bytes->size() > BACKUP_MAX_SIZE) {
    *reason = "cannot read " + file.string();
    return false;
  }
  return true;
}

// A read-only FILE over bytes (which must outlive it).
FILE *fileOver(std::string_view bytes)
{
  static char none = 0; // a valid buffer for no bytes
  void *buffer = const_cast<char *>(bytes.empty() ? &none : bytes.data());
  return fmemopen(buffer, bytes.size(), "rb");
}

// The lists as one backup's bytes, so that they can be put back.
std::string listsAsBackup()
{
  char *buffer = nullptr;
  std::size_t size = 0;
  FILE *f = open_memstream(&buffer, &size);
  if (!f)
    throw std::bad_alloc();
  (void)std::fputc(0, f); // the tray flag is not part of the lists
  saveRules(f, true);
  saveKnownUsers(f, true);
  std::fclose(f);
  std::string out(buffer, size);
  std::free(buffer);
  return out;
}

} // namespace

bool exportBackup(const std::filesystem::path &file, std::string *reason)
{
  AtomicFile af;
  if (!atomicOpen(&af, file)) {
    *reason = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  (void)std::fputc(trayIconWanted() ? 1 : 0, af.file); // errors surface through ferror
  saveRules(af.file, true);
  saveKnownUsers(af.file, true);
  if (!atomicCommit(&af)) {
    *reason = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool checkBackup(std::string_view bytes, BackupSummary *summary, std::string *reason)
{
  if (bytes.empty()) {
    *reason = "the file is empty";
    return false;
  }
  if (bytes.size() < 1 + RULES_HEADER_SIZE ||
      std::memcmp(bytes.data() + 1, RULES_HEADER, RULES_HEADER_SIZE) != 0) {
    *reason = bytes.size() < 1 + RULES_HEADER_SIZE &&
                      std::memcmp(bytes.data() + 1, RULES_HEADER, bytes.size() - 1) == 0
                  ? "the file is cut short in its rules header"
                  : "not a backup file: its rules do not begin with the \"Varn-1\" header";
    return false;
  }
  auto flag = static_cast<unsigned char>(bytes[0]);
  if (flag > 1) {
    *reason = "not a backup file: its first byte (the tray flag) is " + std::to_string(flag);
    return false;
  }
  std::size_t at = 1 + RULES_HEADER_SIZE;
  if (bytes.size() - at < 4) {
    *reason = "the file is cut short: the count of rules is missing";
    return false;
  }
  std::int32_t rules = int32At(bytes, at);
  if (rules < 0) {
    *reason = "the file is damaged: its count of rules is negative";
    return false;
  }
  at += 4;
  std::size_t whole = (bytes.size() - at) / RULE_FILE_RECORD_SIZE;
  if (whole < static_cast<std::size_t>(rules)) {
    *reason = "the file is cut short: it holds " + plural(whole, "whole rule", "whole rules") +
              " of " + std::to_string(rules);
    return false;
  }
  at += static_cast<std::size_t>(rules) * RULE_FILE_RECORD_SIZE;
  BackupSummary found;
  found.trayIcon = flag == 1;
  found.rules = static_cast<std::size_t>(rules);
  if (!checkKnownUsersBlock(bytes, at, &found, reason))
    return false;
  *summary = found;
  return true;
}

void loadBackupLists(std::string_view bytes)
{
  FILE *f = fileOver(bytes);
  if (!f)
    throw std::bad_alloc();
  (void)std::fgetc(f); // the tray flag
  loadRules(f, true);
  loadKnownUsers(f, true);
  std::fclose(f);
}

bool importBackup(const std::filesystem::path &file, BackupSummary *summary, std::string *reason)
{
  std::string bytes;
  if (!readWhole(file, &bytes, reason))
    return false;
  if (!checkBackup(bytes, summary, reason)) {
    *reason = file.string() + ": " + *reason;
    return false;
  }
  std::string before = listsAsBackup();
  BYTE wasDirty = rulesDirty;
  loadBackupLists(bytes);
  if (!saveRulesFile(true)) {
    loadBackupLists(before);
    rulesDirty = wasDirty; // the file holds what it held before
    *reason = "cannot write the rules file; nothing was imported";
    return false;
  }
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, summary->trayIcon ? u"TRUE" : u"FALSE");
  if (!saveKnownUsersFile(true)) {
    *reason = "the rules were imported, but the known-users file cannot be written";
    return false;
  }
  return true;
}
