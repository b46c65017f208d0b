// The rule list's operations and the default rules.
#include "rules/rule_list.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<const Rule *> rulesInOrder()
{
  std::vector<const Rule *> out;
  for (const Rule *r = ruleList; r; r = r->next)
    out.push_back(r);
  return out;
}

using RuleListOps = RulesTest;

TEST_F(RuleListOps, RemoveKeepsOrderAndIdentity)
{
  // Remove each position of a four-rule list in turn; the others keep their
  // order and stay the same records, and the tail still takes appends.
  for (int victim = 0; victim < 4; ++victim) {
    clearRules();
    Rule *r[4];
    for (Rule *&x : r) {
      x = newRule();
      x->next = x; // stale links are overwritten by append
      appendRule(x);
    }
    ASSERT_TRUE(removeRule(r[victim]));
    std::vector<const Rule *> expected;
    for (int i = 0; i < 4; ++i)
      if (i != victim)
        expected.push_back(r[i]);
    EXPECT_EQ(rulesInOrder(), expected) << "removed #" << victim;
    Rule *extra = newRule();
    appendRule(extra);
    expected.push_back(extra);
    EXPECT_EQ(rulesInOrder(), expected);
    EXPECT_EQ(countRules(), 4u);
  }
}

TEST_F(RuleListOps, RemovingARecordNotInTheListFreesNothing)
{
  appendDefaultRules(u"Archive");
  Rule *stray = newRule();
  EXPECT_FALSE(removeRule(stray));
  EXPECT_EQ(countRules(), 3u);
  clearRules();
  EXPECT_FALSE(removeRule(stray)) << "an empty list";
  freeRule(stray);
}

TEST_F(RuleListOps, DefaultArchiveNameIsCutToTheBuffer)
{
  std::u16string name = longText(300);
  appendDefaultRules(name.c_str());
  const Rule *archive = ruleList->next->next;
  EXPECT_EQ(std::u16string(archive->moveTo), name.substr(0, 127));
}

} // namespace
