#include "rules/match.h"

#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "tests/rules/match_fixture.h"

#include <climits>
#include <string>

namespace {

void setText(WCHAR (&field)[RULE_TEXT_CHARS], const char16_t *text) { wstrCopy(field, RULE_TEXT_CHARS, text); }

} // namespace

TEST(ContainsAllWords, Cases)
{
  struct Case {
    const char16_t *ruleText;
    const char16_t *messageText;
    bool expected;
  };
  const Case cases[] = {
      {u"smith jones", u"Jones, Smith", true},
      {u"smith jones", u"a.smith.jones", true},
      {u"smith jones", u"smithers", false},
      {u"SMITH", u"john smith", true},
      {u"\u00C4rger", u"\u00E4RGER", true},
      {u"\u00FCber k\u00F6ln", u"REISE \u00DCBER K\u00D6LN NACH BONN", true}, // longer than a block of eight
      {u"ABCDEFGHIJ", u"xxabcdefghijklmnopqrstuvwxyz", true},
      {u"a  b", u"ab", true},            // the empty piece between two spaces always occurs
      {u"smith ", u"smith", true},       // a trailing space adds no piece
      {u" ", u"x", true},
      {u"a\tb", u"a b", false},          // a tab belongs to the word
      {u"a b", u"a\tb", true},
      {u"", u"anything", false},
      {u"x", u"", false},
  };
  for (const Case &c : cases) {
    std::u16string message(c.messageText);
    EXPECT_EQ(containsAllWords(c.ruleText, message.data()), c.expected)
        << utf16ToUtf8(c.ruleText) << " in " << utf16ToUtf8(c.messageText);
  }
  WCHAR text[] = u"x";
  EXPECT_FALSE(containsAllWords(nullptr, text));
  EXPECT_FALSE(containsAllWords(u"x", nullptr));
}

TEST(ContainsAllWords, LowerCasesTheMessageTextInPlaceOnly)
{
  WCHAR message[] = u"Jones, SMITH";
  WCHAR ruleText[] = u"Nobody";
  EXPECT_FALSE(containsAllWords(ruleText, message));
  EXPECT_EQ(std::u16string(message), u"jones, smith");
  EXPECT_EQ(std::u16string(ruleText), u"Nobody");
}

TEST(ContainsAllWords, UsesTheFirst127UnitsOfAnOverlongRuleText)
{
  std::u16string ruleText(127, u'a');
  ruleText += u" zzz"; // beyond the buffer of a rule text
  std::u16string message(127, u'a');
  EXPECT_TRUE(containsAllWords(ruleText.c_str(), message.data()));
}

TEST_F(MatchTest, SizeLimits)
{
  struct Case {
    LONG sizeLimit;
    std::int32_t size;
    int score;
  };
  const Case cases[] = {
      {-10240, 10240, 7}, {-10240, 10241, 0}, {10240, 10240, 7}, {10240, 10239, 0},
      {INT_MIN, INT_MAX, 7}, {INT_MAX, INT_MAX, 7}, {-1, 0, 7}, {1, 0, 0},
  };
  for (const Case &c : cases) {
    RulePtr r = rule();
    r->sizeLimit = c.sizeLimit;
    MessagePtr m = message();
    m->size = c.size;
    EXPECT_EQ(matchRule(m.get(), r.get()), c.score) << c.sizeLimit << " / " << c.size;
  }
}

TEST_F(MatchTest, AgeFromDeliveryWithoutRead)
{
  RulePtr r = rule();
  r->olderThan = 5;
  MessagePtr m = message();
  m->messageFlags = 0; // unread: the read state plays no part
  m->ageMinutes = 5;
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  m->ageMinutes = 6;
  EXPECT_EQ(matchRule(m.get(), r.get()), 8);
  EXPECT_EQ(countReadAges(), 0u);
}

TEST_F(MatchTest, ReadAndMoveWaitsThirtySecondsFromTheFirstReadPass)
{
  RulePtr r = rule();
  r->isRead = 1;
  setText(r->moveTo, u"Archive");
  MessagePtr m = message();
  EXPECT_EQ(matchRule(m.get(), r.get()), 0); // records the moment
  EXPECT_EQ(countReadAges(), 1u);
  clockAdvance(30'000);
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  clockAdvance(999);
  EXPECT_EQ(matchRule(m.get(), r.get()), 0); // 30.999 s truncate to 30
  clockAdvance(1);
  EXPECT_EQ(matchRule(m.get(), r.get()), 1);
}

TEST_F(MatchTest, ReadAndOlderThanRestartsWhenMarkedUnread)
{
  RulePtr r = rule();
  r->isRead = 1;
  r->olderThan = 2;
  MessagePtr m = message();
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  clockAdvance(100'000);
  m->messageFlags = 0;
  EXPECT_EQ(matchRule(m.get(), r.get()), 0); // unread: the entry goes
  EXPECT_EQ(countReadAges(), 0u);
  m->messageFlags = 0x1;
  EXPECT_EQ(matchRule(m.get(), r.get()), 0); // the wait starts again
  clockAdvance(120'000);
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  clockAdvance(1'000);
  EXPECT_EQ(matchRule(m.get(), r.get()), 1 + 8);
}

TEST_F(MatchTest, ReadAloneNeedsNoWaitAndRecordsNothing)
{
  RulePtr r = rule();
  r->isRead = 1;
  MessagePtr m = message();
  EXPECT_EQ(matchRule(m.get(), r.get()), 1);
  EXPECT_EQ(countReadAges(), 0u);
  m->status = 0x00001000; // already marked for download
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
}

TEST_F(MatchTest, DownloadExemption)
{
  struct Case {
    const char *name;
    BYTE download;
    std::int32_t maxKB;
    std::int32_t size;
    std::uint32_t status;
    const char16_t *moveTo;
    int score;
  };
  const Case cases[] = {
      {"header only, within the limit", 1, 10, 10240, 0x00010000, u"Archive", 1},
      {"partial, within the limit", 1, 10, 100, 0x00100000, u"Archive", 1},
      {"no limit", 1, 0, INT_MAX, 0x00010000, u"Archive", 1},
      {"negative limit", 1, -5, INT_MAX, 0x00010000, u"Archive", 1},
      {"above the limit", 1, 10, 10241, 0x00010000, u"Archive", 0},
      {"no download", 0, 0, 100, 0x00010000, u"Archive", 0},
      {"complete message", 1, 0, 100, 0, u"Archive", 0},
      {"no move", 1, 0, 100, 0x00010000, u"", 0},
      {"huge limit", 1, INT_MAX, INT_MAX, 0x00010000, u"Archive", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    RulePtr r = rule();
    r->isRead = 1;
    r->download = c.download;
    setText(r->moveTo, c.moveTo);
    maxDownloadKB = c.maxKB;
    MessagePtr m = message();
    m->messageFlags = 0; // unread
    m->size = c.size;
    m->status = c.status;
    EXPECT_EQ(matchRule(m.get(), r.get()), c.score);
  }
}

TEST_F(MatchTest, KnownUsersNeedLevelTwo)
{
  RulePtr r = rule();
  setText(r->from, KNOWN_USERS_MARKER);
  MessagePtr m = message();
  setMessageText(m->senderAddress, u"Ann@Example.org");
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  addKnownUser(u"ann@example.org", false);
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  addKnownUser(u"ann@example.org", false);
  EXPECT_EQ(matchRule(m.get(), r.get()), 5);
  setText(r->from, u">> known users <<"); // the marker is case-sensitive: these are words
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
}

TEST_F(MatchTest, SenderWordsInAddressOrName)
{
  RulePtr r = rule();
  setText(r->from, u"Smith");
  MessagePtr m = message();
  setMessageText(m->senderAddress, u"JS@Example.ORG");
  setMessageText(m->senderName, u"John SMITH");
  EXPECT_EQ(matchRule(m.get(), r.get()), 5);
  // Both texts were lower-cased in place on the way.
  EXPECT_EQ(std::u16string(m->senderAddress), u"js@example.org");
  EXPECT_EQ(std::u16string(m->senderName), u"john smith");
  setText(r->from, u"smith jane");
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
}

TEST_F(MatchTest, RecipientWordsInToOrCc)
{
  RulePtr r = rule();
  setText(r->to, u"team");
  MessagePtr m = message();
  setMessageText(m->toLine, u"boss@example.org");
  setMessageText(m->ccLine, u"Team@example.org");
  EXPECT_EQ(matchRule(m.get(), r.get()), 4);
  setMessageText(m->ccLine, u"");
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
}

TEST_F(MatchTest, ScoresAndRulesThatNeverMatch)
{
  MessagePtr m = message();
  setMessageText(m->senderAddress, u"ann@example.org");
  setMessageText(m->messageSubject, u"Weekly report");
  setMessageText(m->toLine, u"me@example.org");
  m->hasAttachments = 1;
  m->ageMinutes = 100;

  RulePtr none = rule();
  EXPECT_EQ(matchRule(m.get(), none.get()), 0) << "a rule without conditions";
  EXPECT_EQ(matchRule(m.get(), nullptr), 0);

  RulePtr three = rule();
  setText(three->from, u"ann");
  setText(three->subject, u"report");
  three->isRead = 1;
  EXPECT_EQ(matchRule(m.get(), three.get()), 9);
  three->enabled = 0;
  EXPECT_EQ(matchRule(m.get(), three.get()), 0);

  RulePtr all = rule();
  setText(all->from, u"ann");
  setText(all->subject, u"weekly");
  setText(all->to, u"me");
  all->hasAttach = 1;
  all->sizeLimit = 1000;
  all->olderThan = 99;
  all->isRead = 1;
  EXPECT_EQ(matchRule(m.get(), all.get()), 0); // first pass: the read age starts
  clockAdvance(99 * 60'000 + 1'000);
  EXPECT_EQ(matchRule(m.get(), all.get()), 34);
  setText(all->body, u"x");
  EXPECT_EQ(matchRule(m.get(), all.get()), 0) << "a body condition never matches";

  RulePtr attach = rule();
  attach->hasAttach = 1;
  m->hasAttachments = 0;
  EXPECT_EQ(matchRule(m.get(), attach.get()), 0);
  m->hasAttachments = 1;
  EXPECT_EQ(matchRule(m.get(), attach.get()), 6);
  RulePtr subject = rule();
  setText(subject->subject, u"weekly");
  EXPECT_EQ(matchRule(m.get(), subject.get()), 3);
}

// The highest checkpoint recorded tells how far matching got.
TEST_F(MatchTest, Checkpoints)
{
  struct Case {
    const char *name;
    void (*setUp)(Rule *);
    int highest;
  };
  const Case cases[] = {
      {"disabled", [](Rule *r) { r->enabled = 0; }, 31},
      {"size fails", [](Rule *r) { r->sizeLimit = 5000; }, 32},
      {"unread", [](Rule *r) { r->isRead = 1; r->olderThan = 1; }, 34},
      {"sender fails", [](Rule *r) { setText(r->from, u"nobody"); }, 40},
      {"known users fail", [](Rule *r) { setText(r->from, KNOWN_USERS_MARKER); }, 38},
      {"subject fails", [](Rule *r) { setText(r->subject, u"nothing"); }, 42},
      {"recipients fail", [](Rule *r) { setText(r->to, u"nobody"); }, 44},
      {"body", [](Rule *r) { setText(r->body, u"x"); }, 47},
      {"match", [](Rule *r) { r->sizeLimit = 1; }, 48},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    setenv("QUILLMARSH_ROOT", root.path.c_str(), 1);
    forgetCheckpointCache();
    RulePtr r = rule();
    c.setUp(r.get());
    MessagePtr m = message();
    m->messageFlags = 0;
    (void)matchRule(m.get(), r.get()); // the checkpoints are what is looked at
    flushCheckpoint();
    DWORD cp = 0;
    ASSERT_TRUE(readSetting(SETTINGS_KEY, SETTING_CHECKPOINT, &cp, sizeof cp));
    EXPECT_EQ(cp, static_cast<DWORD>(c.highest));
  }
}

// Minutes times sixty overflows 32 bits above 35,791,394 minutes.
TEST_F(MatchTest, HugeReadAgeLimitNeverComesDue)
{
  RulePtr r = rule();
  r->isRead = 1;
  r->olderThan = INT_MAX;
  MessagePtr m = message();
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
  clockAdvance(4'000'000'000u);
  EXPECT_EQ(matchRule(m.get(), r.get()), 0);
}
