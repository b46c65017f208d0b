// Rule blocks as the rules file holds them: no count.
#include "tests/rules/rules_block_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  fuzzRuleBlock(data, size, false);
  clearRules();
  return 0;
}
