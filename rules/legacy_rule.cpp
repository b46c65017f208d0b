#include "rules/legacy_rule.h"

#include <cstring>
#include <iterator>

namespace {

LONG readInt32(const BYTE *p)
{
  return static_cast<LONG>(static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
                           static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24);
}

// Copies the 128-unit text at p up to its terminator, at most 127 units; the
// rest of dst stays zero.
void copyText(const BYTE *p, WCHAR *dst)
{
  for (std::size_t i = 0; i < RULE_TEXT_CHARS - 1; ++i) {
    WCHAR c = static_cast<WCHAR>(p[2 * i] | p[2 * i + 1] << 8);
    if (!c)
      return;
    dst[i] = c;
  }
}

} // namespace

void convertLegacyRule(const BYTE *record, Rule *rule)
{
  constexpr std::size_t textBytes = RULE_TEXT_CHARS * sizeof(WCHAR);
  rule->enabled = record[LEGACY_ENABLED];
  WCHAR *texts[] = {rule->mailbox, rule->from, rule->to, rule->subject, rule->body};
  for (std::size_t i = 0; i < std::size(texts); ++i)
    copyText(record + LEGACY_MAILBOX + i * textBytes, texts[i]);
  rule->sizeLimit = readInt32(record + LEGACY_SIZE_LIMIT);
  rule->olderThan = readInt32(record + LEGACY_OLDER_THAN);
  rule->isRead = record[LEGACY_IS_READ];
  rule->hasAttach = record[LEGACY_HAS_ATTACH];
  LONG action = readInt32(record + LEGACY_ACTION);
  if (action == LEGACY_ACTION_MOVE)
    copyText(record + LEGACY_MOVE_TARGET, rule->moveTo);
  else if (action == LEGACY_ACTION_DELETE)
    std::memcpy(rule->moveTo, DELETE_MARKER, sizeof(DELETE_MARKER));
  rule->download = record[LEGACY_DOWNLOAD];
}
