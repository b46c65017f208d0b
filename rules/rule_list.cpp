#include "rules/rule_list.h"

#include "platform/text/wstr.h"

#include <cstring>

Rule *ruleList = nullptr;
BYTE rulesDirty = 0;

Rule *newRule()
{
  return new Rule{};
}

void freeRule(Rule *rule)
{
  delete rule;
}

void clearRules()
{
  Rule *rule = ruleList;
  ruleList = nullptr;
  while (rule) {
    Rule *next = rule->next;
    freeRule(rule);
    rule = next;
  }
}

void appendRule(Rule *rule)
{
  rule->next = nullptr;
  Rule **link = &ruleList;
  while (*link)
    link = &(*link)->next;
  *link = rule;
}

bool removeRule(Rule *rule)
{
  for (Rule **link = &ruleList; *link; link = &(*link)->next) {
    if (*link == rule) {
      *link = rule->next;
      freeRule(rule);
      return true;
    }
  }
  return false;
}

bool moveRule(Rule *rule, std::size_t position)
{
  Rule **link = &ruleList;
  while (*link && *link != rule)
    link = &(*link)->next;
  if (!*link)
    return false;
  *link = rule->next;
  link = &ruleList;
  for (std::size_t i = 0; i < position && *link; ++i)
    link = &(*link)->next;
  rule->next = *link;
  *link = rule;
  return true;
}

std::size_t countRules()
{
  std::size_t n = 0;
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    ++n;
  return n;
}

void appendDefaultRules(const WCHAR *archiveName)
{
  Rule *readRule = newRule();
  readRule->enabled = 1;
  readRule->isRead = 1;
  readRule->download = 1;
  appendRule(readRule);

  Rule *knownRule = newRule();
  knownRule->enabled = 1;
  wstrCopy(knownRule->from, RULE_TEXT_CHARS, KNOWN_USERS_MARKER);
  knownRule->download = 1;
  appendRule(knownRule);

  Rule *archiveRule = newRule();
  archiveRule->olderThan = 1;
  archiveRule->isRead = 1;
  wstrCopy(archiveRule->moveTo, RULE_TEXT_CHARS, archiveName);
  appendRule(archiveRule);
}

std::uint64_t ruleListFingerprint()
{
  static_assert(RULE_FILE_RECORD_SIZE % 8 == 0, "a record is hashed eight bytes at a time");
  constexpr std::uint64_t MULTIPLIER = 0x9E3779B97F4A7C15ull;
  std::uint64_t hash = 0;
  for (const Rule *rule = ruleList; rule; rule = rule->next) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(rule);
    for (std::size_t i = 0; i < RULE_FILE_RECORD_SIZE; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      hash = (hash ^ word) * MULTIPLIER;
      hash ^= hash >> 29;
    }
    hash = (hash ^ 0xA5) * MULTIPLIER; // ends the record, so that the rule count counts
  }
  return hash;
}
