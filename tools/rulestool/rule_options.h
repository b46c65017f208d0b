// The rules tool's options for the fields of a rule: one option (or a pair
// that sets and clears) per field, each value checked before anything of the
// rule changes.
#pragma once

#include "rules/rule.h"

#include <string>
#include <vector>

// Largest size condition in kilobytes: its bytes must fit the record's int32.
constexpr long MAX_SIZE_KB = 2097151;

// Applies the options args[first...] to *rule. False, with *error naming the
// option and what is wrong (unknown option, missing or bad value, a text of
// more than 127 characters, two options that contradict each other), and the
// rule untouched. A text value replaces the whole buffer (units after the
// terminator become 0), as a new rule has it.
bool applyRuleOptions(const std::vector<std::string> &args, std::size_t first, Rule *rule, std::string *error);

// The options' help text, for the tool's usage.
extern const char *const RULE_OPTIONS_HELP;
