// Rule matching: whether a rule applies to a message, and how specific the
// match is.
#pragma once

#include "rules/message_info.h"
#include "rules/rule.h"

#include <climits>
#include <cstdint>

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

// What could make a rule that failed hold later while the message's record,
// the rules and the download limit stay as they are: the message growing
// older, its read age growing, or its sender becoming known. Only the
// condition that failed counts (testing stops there); every other failure
// stays a failure.
struct MatchOutlook {
  std::int32_t ageAbove = INT32_MAX; // an age condition failed: it holds once ageMinutes exceeds this
                                     // (the smallest such olderThan)
  bool readAge = false;              // a read-age condition failed: it holds once read long enough
  bool knownUsers = false;           // a known-users condition failed: it holds once the sender is known
};

// matchRule, adding to *outlook (not reset) what could make this rule hold
// later when it fails; same result and same effects.
int matchRule(MessageInfo *message, const Rule *rule, MatchOutlook *outlook);

// The conditions in the order matchRule tests them.
enum class MatchStep : std::uint8_t {
  Size,        // sizeLimit
  Read,        // isRead: the message has been read (or is exempt: partial, to be downloaded and moved)
  ReadAge,     // isRead with olderThan or moveTo: read long enough
  Age,         // olderThan without isRead: delivered long enough ago
  Attachments, // hasAttach
  From,        // from: words, or the known-users marker
  Subject,     // subject words
  To,          // to words, in the To or the CC line
  Body,        // body: never holds
};

// How a Read step held or failed.
enum class ReadState : std::uint8_t {
  IsRead,           // the message has been read
  Exempt,           // partial, and the rule downloads and moves it: not tested
  Unread,           // not read
  MarkedForDownload // read, but marked for download
};

// What matchRuleTraced found: the conditions it tested, in order, each
// held or not; testing stops at the first that failed.
struct MatchTrace {
  struct Entry {
    MatchStep step; // the condition
    bool held;      // it held
  };
  Entry entries[9];               // the tested conditions, in order
  int count = 0;                  // entries used
  ReadState read = ReadState::IsRead; // the Read step's state, when tested
  std::int32_t readAge = 0;       // seconds the message has been seen read, when ReadAge was tested
  std::int32_t readAgeNeeded = 0; // more than this many seconds are needed
};

// matchRule, recording each condition tested into *trace (which starts
// empty); same result and same effects.
int matchRuleTraced(MessageInfo *message, const Rule *rule, MatchTrace *trace);

// True when every piece of ruleText split at spaces (U+0020; empty pieces
// included, a trailing space adds none) occurs in messageText, both compared
// in lower case. Lower-cases messageText in place (the first 127 units of
// ruleText are used, on a copy). False when either is null or ruleText is
// empty.
bool containsAllWords(const WCHAR *ruleText, WCHAR *messageText);
