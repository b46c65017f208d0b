#include "rules/rules_file.h"

#include "platform/fs/files.h"
#include "rules/data_paths.h"
#include "rules/legacy_rule.h"

#include <cstring>

namespace {

// Reads the records of the current form until the count, the end of the
// file or a cut record. `tail` is the list's last link.
void loadRecords(FILE *file, LONG remaining, Rule **tail)
{
  while (!std::feof(file) && remaining != 0) {
    Rule *rule = newRule();
    if (std::fread(rule, RULE_FILE_RECORD_SIZE, 1, file) != 1) {
      freeRule(rule);
      return;
    }
    terminateRuleTexts(rule);
    rule->next = nullptr;
    *tail = rule;
    tail = &rule->next;
    if (remaining > 0)
      --remaining;
  }
}

void loadLegacyRecords(FILE *file, Rule **tail)
{
  BYTE record[LEGACY_RULE_RECORD_SIZE];
  while (!std::feof(file)) {
    if (std::fread(record, sizeof(record), 1, file) != 1)
      return;
    Rule *rule = newRule();
    convertLegacyRule(record, rule);
    *tail = rule;
    tail = &rule->next;
  }
}

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

void loadRules(FILE *file, bool withCount)
{
  clearRules();
  long start = std::ftell(file);
  BYTE header[RULES_HEADER_SIZE];
  bool current = std::fread(header, sizeof(header), 1, file) == 1 &&
                 std::memcmp(header, RULES_HEADER, RULES_HEADER_SIZE) == 0;
  if (current) {
    LONG remaining = withCount ? readCount(file) : -1;
    loadRecords(file, remaining, &ruleList);
    return;
  }
  // No header: the older form, read from where the block started.
  std::clearerr(file);
  if (start < 0 || std::fseek(file, start, SEEK_SET) != 0)
    return;
  loadLegacyRecords(file, &ruleList);
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
  FILE *file = _wfopen(RULES_FILE_PATH, u"rb");
  if (!file)
    return false;
  loadRules(file, false);
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
    written = atomicCommit(&af);
  }
  rulesDirty = written ? 0 : 1;
  return written;
}
