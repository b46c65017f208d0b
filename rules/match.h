// Rule matching: whether a rule applies to a message, and how specific the
// match is.
#pragma once

#include "rules/message_info.h"
#include "rules/rule.h"

// Weights of the conditions, summed into a match's score.
constexpr int WEIGHT_IS_READ = 1;
constexpr int WEIGHT_SUBJECT = 3;
constexpr int WEIGHT_TO = 4;
constexpr int WEIGHT_FROM = 5;
constexpr int WEIGHT_HAS_ATTACH = 6;
constexpr int WEIGHT_SIZE = 7;
constexpr int WEIGHT_OLDER_THAN = 8;

// The score of rule for message: 0 when the rule does not apply (no rule, a
// disabled rule, a failed condition, a non-empty body condition, or no
// condition at all), otherwise the sum of the weights of the conditions the
// rule has (1 to 34). The mailbox is not tested: the caller scores only
// rules whose mailbox fits the message's store. Lower-cases the message's
// texts in place; records and forgets read ages; asks the known-users list;
// records checkpoints 31 to 48. Safe on several threads at once for
// different messages.
int matchRule(MessageInfo *message, const Rule *rule);

// True when every piece of ruleText split at spaces (U+0020; empty pieces
// included, a trailing space adds none) occurs in messageText, both compared
// in lower case. Lower-cases messageText in place (the first 127 units of
// ruleText are used, on a copy). False when either is null or ruleText is
// empty.
bool containsAllWords(const WCHAR *ruleText, WCHAR *messageText);
