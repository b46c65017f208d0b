// The older, header-less rules file.
#include "tests/rules/rules_block_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size >= RULES_HEADER_SIZE && std::memcmp(data, RULES_HEADER, RULES_HEADER_SIZE) == 0)
    return 0; // the current form has targets of its own
  fuzzRuleBlock(data, size, false);
  // The older record has no sound, program or mark-as-read.
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    require(rule->playSound[0] == 0 && rule->execute[0] == 0 && rule->markAsRead == 0);
  clearRules();
  return 0;
}
