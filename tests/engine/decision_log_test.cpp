// The decision log: silent when off; when on, one line per evaluation whose
// winner did or tried something, with the message as it was before matching
// lower-cased it, the rule's number and line, and what was done or refused.
#include "engine/decision_log.h"
#include "tests/engine/engine_scene.h"

namespace {

class DecisionLogTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
  }
  void TearDown() override
  {
    decisionLogOn = false;
    EngineTest::TearDown();
  }

  // What the first pass over the store wrote to standard error.
  std::string firstPassLog()
  {
    testing::internal::CaptureStderr();
    openSession();
    settle();
    return testing::internal::GetCapturedStderr();
  }

  MemStore *store = nullptr;
};

TEST_F(DecisionLogTest, SilentWhenOff)
{
  memAddMessage(memInbox(store), {.from = u"Ann@X", .subject = u"Hello"});
  addRule({.from = u"ann", .moveTo = u"Ann"});
  EXPECT_EQ(firstPassLog(), "");
}

TEST_F(DecisionLogTest, DoneAndRefusedActionsOnePerLine)
{
  setenv(DECISION_LOG_VARIABLE, DECISION_LOG_VALUE, 1);
  readDecisionLogSetting();
  unsetenv(DECISION_LOG_VARIABLE);
  ASSERT_TRUE(decisionLogOn);
  memAddMessage(memInbox(store), {.from = u"Ann@X", .subject = u"Hello Ann"});
  memAddMessage(memInbox(store), {.from = u"bob@x", .subject = u"Nothing to do"});
  memAddMessage(memInbox(store), {.from = u"cy@x", .subject = u"Run"});
  addRule({.subject = u"nothing"});                                   // wins, but has no action
  addRule({.from = u"ann", .moveTo = u"Ann", .markAsRead = 1});       // rule 2
  addRule({.from = u"cy", .playSound = u"/s.wav", .execute = u"/p"}); // rule 3
  memFailAlways(world(), MapiCall::FolderCopyMessages, MAPI_E_NO_ACCESS);
  std::string log = firstPassLog();
  EXPECT_NE(log.find("Brindlewick: Mail: from Ann@X \"Hello Ann\": rule 2 (Move to Ann and Mark as read where "
                     "From=\"ann\"): marked as read; the store refused the move to Ann\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Brindlewick: Mail: from cy@x \"Run\": rule 3 (Play sound and Exec where From=\"cy\"): "
                     "played /s.wav; started /p\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Nothing to do"), std::string::npos) << log;
}

} // namespace
