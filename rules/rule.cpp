#include "rules/rule.h"

#include <initializer_list>

namespace {

void terminateText(WCHAR *text)
{
  for (std::size_t i = 0; i < RULE_TEXT_CHARS; ++i)
    if (!text[i])
      return;
  text[RULE_TEXT_CHARS - 1] = 0;
}

} // namespace

void terminateRuleTexts(Rule *rule)
{
  for (WCHAR *text : {rule->mailbox, rule->from, rule->to, rule->subject, rule->body, rule->moveTo,
                      rule->playSound, rule->execute})
    terminateText(text);
}
