#include "engine/rule_choice.h"

#include "platform/text/wstr.h"
#include "rules/rule_list.h"
#include "services/checkpoint.h"

const Rule *bestRule(const WCHAR *storeName, MessageInfo *record, std::size_t *position, MatchOutlook *outlook,
                     const std::function<void(const RuleVerdict &)> *observe)
{
  const Rule *best = nullptr;
  int bestScore = 1;
  std::size_t n = 0;
  for (const Rule *rule = ruleList; rule; rule = rule->next) {
    ++n;
    RuleSkip skip = RuleSkip::None;
    if (!rule->enabled)
      skip = RuleSkip::Disabled;
    else if (rule->mailbox[0] && (!storeName || wstrCmp(storeName, rule->mailbox) != 0))
      skip = RuleSkip::OtherMailbox;
    int score = 0;
    if (observe) {
      MatchTrace trace; // only an explanation fills one: the pass does not even make it
      if (skip == RuleSkip::None)
        score = matchRuleTraced(record, rule, &trace);
      (*observe)(RuleVerdict{rule, n, skip, score, skip == RuleSkip::None ? &trace : nullptr});
    } else if (skip == RuleSkip::None) {
      score = outlook ? matchRule(record, rule, outlook) : matchRule(record, rule);
    }
    if (skip == RuleSkip::None && score >= bestScore) {
      markCheckpoint(49);
      best = rule;
      bestScore = score;
      *position = n;
    }
  }
  return best;
}
