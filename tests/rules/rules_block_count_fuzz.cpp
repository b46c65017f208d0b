// Rule blocks as the backup file holds them: with a count, other data after.
#include "tests/rules/rules_block_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  fuzzRuleBlock(data, size, true);
  clearRules();
  return 0;
}
