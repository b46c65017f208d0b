#include "rules/rules_file.h"

#include "platform/fs/files.h"
#include "rules/data_paths.h"
#include "rules/legacy_rule.h"

#include <cstring>

namespace {

// True when the file holds nothing more (the next read would end it).
bool atEnd(FILE *file)
{
  int c = std::fgetc(file);
  if (c == EOF)
    return true;
  std::ungetc(c, file);
  return false;
}

// Reads the records of the current form until the count, the end of the
// file, a cut record or MAX_RULES_READ. `tail` is the list's last link.
// False when a record was cut or records were left unread.
bool loadRecords(FILE *file, LONG remaining, Rule **tail)
{
  for (std::size_t read = 0; !std::feof(file) && remaining != 0; ++read) {
    if (read == MAX_RULES_READ)
      return atEnd(file);
    Rule *rule = newRule();
    std::size_t got = std::fread(rule, 1, RULE_FILE_RECORD_SIZE, file);
    if (got != RULE_FILE_RECORD_SIZE) {
      freeRule(rule);
      return got == 0;
    }
    terminateRuleTexts(rule);
    rule->next = nullptr;
    *tail = rule;
    tail = &rule->next;
    if (remaining > 0)
      --remaining;
  }
  return true;
}

bool loadLegacyRecords(FILE *file, Rule **tail)
{
  BYTE record[LEGACY_RULE_RECORD_SIZE];
  for (std::size_t read = 0; !std::feof(file); ++read) {
    if (read == MAX_RULES_READ)
      return atEnd(file);
    std::size_t got = std::fread(record, 1, sizeof(record), file);
    if (got != sizeof(record))
      return got == 0;
    Rule *rule = newRule();
    convertLegacyRule(record, rule);
    *tail = rule;
    tail = &rule->next;
  }
  return true;
}

// The rules file was damaged when read: before it is replaced, it is kept.
bool rulesFileDamaged = false;

LONG readCount(FILE *file)
{
  BYTE bytes[4];
  if (std::fread(bytes, sizeof(bytes), 1, file) != 1)
    return -1; // the end of the file ends the block anyway
  return static_cast<LONG>(static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                           static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24);
}

void writeCount(FILE *file, std::size_t count)
{
  DWORD v = static_cast<DWORD>(count);
  BYTE bytes[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                   static_cast<BYTE>(v >> 24)};
  (void)std::fwrite(bytes, sizeof(bytes), 1, file); // errors surface through ferror
}

} // namespace

bool loadRules(FILE *file, bool withCount)
{
  clearRules();
  long start = std::ftell(file);
  BYTE header[RULES_HEADER_SIZE];
  bool current = std::fread(header, sizeof(header), 1, file) == 1 &&
                 std::memcmp(header, RULES_HEADER, RULES_HEADER_SIZE) == 0;
  if (current) {
    LONG remaining = withCount ? readCount(file) : -1;
    return loadRecords(file, remaining, &ruleList);
  }
  // No header: the older form, read from where the block started.
  std::clearerr(file);
  if (start < 0 || std::fseek(file, start, SEEK_SET) != 0)
    return false;
  return loadLegacyRecords(file, &ruleList);
}

void saveRules(FILE *file, bool withCount)
{
  (void)std::fwrite(RULES_HEADER, RULES_HEADER_SIZE, 1, file); // errors surface through ferror
  if (withCount)
    writeCount(file, countRules());
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    (void)std::fwrite(rule, RULE_FILE_RECORD_SIZE, 1, file);
}

bool loadRulesFile()
{
  removeStaleDeviceTemporaries(RULES_FILE_PATH);
  FILE *file = _wfopen(RULES_FILE_PATH, u"rb");
  if (!file)
    return false;
  rulesFileDamaged = !loadRules(file, false);
  std::fclose(file);
  return true;
}

bool saveRulesFile(bool force)
{
  if (!rulesDirty && !force)
    return true;
  (void)CreateDirectoryW(DATA_FOLDER_PATH, nullptr); // it usually exists already
  AtomicFile af;
  bool written = atomicOpenDevice(&af, RULES_FILE_PATH);
  if (written) {
    saveRules(af.file, false);
    // What could not be read is not lost with the replacement.
    if (rulesFileDamaged && !keepDamagedDeviceFile(RULES_FILE_PATH)) {
      atomicAbort(&af);
      written = false;
    } else {
      written = atomicCommit(&af);
    }
  }
  if (written)
    rulesFileDamaged = false;
  rulesDirty = written ? 0 : 1;
  return written;
}
