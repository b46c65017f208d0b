// The checks shared by the rule block fuzz targets.
#pragma once

#include "rules/rules_file.h"
#include "tests/rules/fuzz_support.h"

#include <cstring>

// Loads the input as a rule block and checks what came out: the number of
// records its size and count allow, terminated texts, the file position,
// and a save that reads back to the same bytes. The list is left loaded.
inline void fuzzRuleBlock(const std::uint8_t *data, std::size_t size, bool withCount)
{
  FILE *f = openFuzzInput(data, size);
  if (!f)
    return;
  loadRules(f, withCount);
  long position = std::ftell(f);
  std::fclose(f);

  bool current = size >= RULES_HEADER_SIZE && std::memcmp(data, RULES_HEADER, RULES_HEADER_SIZE) == 0;
  std::size_t expected;
  if (current) {
    std::size_t start = RULES_HEADER_SIZE;
    std::int64_t count = -1;
    if (withCount && size >= start + 4) {
      count = static_cast<std::int32_t>(data[start] | data[start + 1] << 8 | data[start + 2] << 16 |
                                        static_cast<std::uint32_t>(data[start + 3]) << 24);
      start += 4;
    }
    expected = size > start ? (size - start) / RULE_FILE_RECORD_SIZE : 0;
    if (count >= 0 && static_cast<std::size_t>(count) <= expected) {
      // The count ends the block: the file stands just behind its records.
      expected = static_cast<std::size_t>(count);
      require(position == static_cast<long>(start + expected * RULE_FILE_RECORD_SIZE));
    }
  } else {
    expected = size / LEGACY_RULE_RECORD_SIZE;
  }
  require(countRules() == expected);
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    require(textsTerminated(rule));

  auto saved = writtenBy([&](FILE *out) { saveRules(out, withCount); });
  require(saved.size() == RULES_HEADER_SIZE + (withCount ? 4 : 0) + expected * RULE_FILE_RECORD_SIZE);
  FILE *again = openFuzzInput(saved.data(), saved.size());
  loadRules(again, withCount);
  std::fclose(again);
  require(writtenBy([&](FILE *out) { saveRules(out, withCount); }) == saved);
}
