// Choosing the rule that wins a message: every enabled rule whose mailbox
// is empty or names the message's store is scored; the highest score wins,
// a later rule wins a tie, and a score of 0 never wins. The processing pass
// and the rules tool's explanation both choose through here.
#pragma once

#include "rules/match.h"

#include <cstddef>
#include <functional>

// Why a rule was not scored.
enum class RuleSkip : std::uint8_t {
  None,        // it was scored
  Disabled,    // enabled is 0
  OtherMailbox // its mailbox names another store (or the store's name is unknown)
};

// One rule as the choice saw it.
struct RuleVerdict {
  const Rule *rule;        // the rule
  std::size_t position;    // its number in the list, from 1
  RuleSkip skip;           // whether and why it was not scored
  int score;               // its score (0 when skipped)
  const MatchTrace *trace; // the conditions tested, when the choice was traced; else null
};

// The winning rule of ruleList for the record of a message of the store
// named storeName (null when that name is unknown), or null when none wins;
// *position gets the winner's number in the list, from 1. With outlook, what
// could make a scored rule that failed hold later is added to it. With
// observe, each rule is handed to it in list order, scored through
// matchRuleTraced (same result and effects as matchRule). Records checkpoint
// 49 for each new best.
const Rule *bestRule(const WCHAR *storeName, MessageInfo *record, std::size_t *position,
                     MatchOutlook *outlook = nullptr,
                     const std::function<void(const RuleVerdict &)> *observe = nullptr);
