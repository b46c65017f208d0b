#include "rules/describe.h"

#include "services/resources.h"
#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "rules/rule_list.h"
#include "ui/resources/program_resources.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

namespace {

struct RuleDeleter {
  void operator()(Rule *r) const { freeRule(r); }
};
using RulePtr = std::unique_ptr<Rule, RuleDeleter>;

void setText(WCHAR (&field)[RULE_TEXT_CHARS], const char16_t *text) { wstrCopy(field, RULE_TEXT_CHARS, text); }

class DescribeTest : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
  }

  static std::string describe(const Rule &rule) { return utf16ToUtf8(describeRule(&rule)); }
};

} // namespace

TEST_F(DescribeTest, DefaultRules)
{
  clearRules();
  appendDefaultRules(u"Archive");
  ASSERT_NE(ruleList, nullptr);
  EXPECT_EQ(describe(*ruleList), "Download where Read");
  EXPECT_EQ(describe(*ruleList->next), "Download where From=\">> Known users <<\"");
  EXPECT_EQ(describe(*ruleList->next->next), "Move to Archive where Older than 1 min and Read");
  clearRules();
}

TEST_F(DescribeTest, Lines)
{
  struct Case {
    const char *name;
    void (*setUp)(Rule *);
    const char *expected;
  };
  const Case cases[] = {
      {"nothing at all", [](Rule *) {}, "Do nothing where "},
      {"mailbox and enabled never show",
       [](Rule *r) {
         setText(r->mailbox, u"Work");
         r->enabled = 1;
       },
       "Do nothing where "},
      {"delete with sound and mark",
       [](Rule *r) {
         setText(r->moveTo, DELETE_MARKER);
         setText(r->playSound, u"/tmp/a.wav");
         r->markAsRead = 1;
       },
       "Delete and Play sound and Mark as read where "},
      {"every action",
       [](Rule *r) {
         setText(r->moveTo, u"Old");
         setText(r->playSound, u"s");
         setText(r->execute, u"e");
         r->download = 1;
         r->markAsRead = 1;
       },
       "Move to Old and Play sound and Exec and Download and Mark as read where "},
      {"conditions in their order",
       [](Rule *r) {
         r->hasAttach = 1;
         r->isRead = 1;
         r->olderThan = 3;
         setText(r->body, u"b");
         setText(r->subject, u"s");
         setText(r->to, u"t");
         setText(r->from, u"f");
       },
       "Do nothing where From=\"f\" and To=\"t\" and Subj=\"s\" and Body=\"b\" and Older than 3 min "
       "and Read and HasAttach"},
      {"smaller", [](Rule *r) { r->sizeLimit = -1500; }, "Do nothing where Smaller than 1 K"},
      {"larger", [](Rule *r) { r->sizeLimit = 1048576; }, "Do nothing where Larger than 1024 K"},
      {"under a kilobyte", [](Rule *r) { r->sizeLimit = 1023; }, "Do nothing where Larger than 0 K"},
      {"smallest limit", [](Rule *r) { r->sizeLimit = INT_MIN; }, "Do nothing where Smaller than 2097152 K"},
      {"percent in a text stays", [](Rule *r) { setText(r->subject, u"100%s %d"); },
       "Do nothing where Subj=\"100%s %d\""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    RulePtr r(newRule());
    c.setUp(r.get());
    EXPECT_EQ(describe(*r), c.expected);
  }
}

// With the shipped table, every field full and the widest numbers.
TEST_F(DescribeTest, LongestLineWithTheShippedTable)
{
  RulePtr r(newRule());
  for (WCHAR *field : {r->moveTo, r->playSound, r->execute, r->from, r->to, r->subject, r->body})
    wstrCopy(field, RULE_TEXT_CHARS, std::u16string(127, u'x'));
  r->download = r->markAsRead = r->isRead = r->hasAttach = 1;
  r->sizeLimit = INT_MAX; // larger only: the two size texts exclude each other
  r->olderThan = INT_MIN;
  std::u16string line = describeRule(r.get());
  EXPECT_EQ(line.size(), 825u);
  r->sizeLimit = INT_MIN; // "Smaller than 2097152 K": one longer
  EXPECT_EQ(describeRule(r.get()).size(), 826u);
}

TEST_F(DescribeTest, LongTranslationsAreCut)
{
  std::u16string longWord(600, u'w');
  std::u16string moveFormat = longWord + u" %s";
  DescriptionTexts texts = descriptionTexts();
  texts.moveAction = moveFormat.c_str();
  texts.where = longWord.c_str();
  RulePtr r(newRule());
  setText(r->moveTo, u"Box");
  std::u16string line = describeRuleWith(r.get(), texts);
  EXPECT_EQ(line.size(), RULE_DESCRIPTION_CHARS - 1);
  EXPECT_EQ(line.substr(0, 605), longWord + u" Box ");

  // A surrogate pair is never split at the cut.
  std::u16string pairs;
  for (int i = 0; i < 600; ++i)
    pairs += u"\U0001D11E";
  texts.where = pairs.c_str();
  line = describeRuleWith(r.get(), texts);
  EXPECT_LE(line.size(), RULE_DESCRIPTION_CHARS - 1);
  EXPECT_FALSE(line.back() >= 0xD800 && line.back() <= 0xDBFF);
}
