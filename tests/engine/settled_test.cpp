// Settled records: the revisit passes over a record no rule can win, and
// judges it again as soon as anything it was judged on changes, whichever
// way that change came (no notification tells of a rule edited in place).
#include "tests/engine/engine_scene.h"

namespace {

class SettledTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
  }

  MemMessage *add(const MemMessageFields &fields) { return memAddMessage(memInbox(store), fields); }

  void start()
  {
    openSession();
    settle();
    tick();
    tick(); // settled by now
  }

  MemStore *store = nullptr;
};

// The rule the message boxes of RulesEditedDuringTheWalk switch.
Rule *switchedRule = nullptr;
int boxesShown = 0;

// Each box stands for a user who edits the rules while it is open: the first
// disables switchedRule, the second enables it again.
int editRulesWhileTheBoxIsOpen(HWND, LPCWSTR, LPCWSTR, UINT)
{
  switchedRule->enabled = ++boxesShown == 1 ? 0 : 1;
  return IDOK;
}

} // namespace

TEST_F(SettledTest, RulesChangedInPlaceOrAddedCountAtTheNextRevisit)
{
  MemMessage *ann = add({.from = u"ann@x"});
  MemMessage *bob = add({.from = u"bob@x"});
  MemMessage *cy = add({.from = u"cy@x"});
  Rule *off = addRule({.from = u"ann", .moveTo = u"Ann", .enabled = false});
  Rule *other = addRule({.from = u"zed", .moveTo = u"Bob"});
  start();
  ASSERT_EQ(where(ann), "Inbox");

  off->enabled = 1; // as the rules list's check box does: no notification
  tick();
  EXPECT_EQ(where(ann), "Inbox/Ann");

  wstrCopy(other->from, RULE_TEXT_CHARS, u"bob");
  tick();
  EXPECT_EQ(where(bob), "Inbox/Bob");

  addRule({.from = u"cy", .moveTo = u"Cy"});
  tick();
  EXPECT_EQ(where(cy), "Inbox/Cy");

}

TEST_F(SettledTest, ASenderWhoBecomesKnownCounts)
{
  MemMessage *ann = add({.from = u"ann@x"});
  MemMessage *bob = add({.from = u"bob@x"});
  addRule({.from = u">> Known users <<", .moveTo = u"Known"});
  addRule({.from = u"bob", .markAsRead = true});
  start();
  addKnownUser(u"someone@else", false); // seen once: nobody's answer changes
  tick();
  EXPECT_EQ(where(ann), "Inbox");
  addKnownUser(u"ann@x", true);
  tick();
  EXPECT_EQ(where(ann), "Inbox/Known");
  EXPECT_TRUE(isReadInStore(bob));
  EXPECT_EQ(where(bob), "Inbox") << "bob's rule won: bob is never settled, and not known";
}

TEST_F(SettledTest, AnAgeConditionComesDueOnTheMinuteItIsPassed)
{
  MemMessage *ann = add({.from = u"ann@x"});
  MemMessage *bob = add({.from = u"bob@x"});
  addRule({.from = u"ann", .moveTo = u"Old", .olderThan = 2});
  addRule({.from = u"bob", .moveTo = u"Never", .olderThan = 1, .sizeLimit = 1 << 20});
  start(); // 10 s
  tick(169000); // 2 min 59 s: two whole minutes, not more than two
  EXPECT_EQ(where(ann), "Inbox");
  tick(1000);
  EXPECT_EQ(where(ann), "Inbox/Old");
  EXPECT_EQ(where(bob), "Inbox") << "too small: older changes nothing for bob";
}

TEST_F(SettledTest, TheDownloadLimitCounts)
{
  // Header only, unread and 40 K: exempt from the read condition while the
  // limit lets the rule download it, which marks it for download.
  MemMessage *m = add({.from = u"ann@x", .size = 40 * 1024, .headerOnly = true});
  addRule({.from = u"ann", .moveTo = u"Ann", .isRead = true, .download = true});
  maxDownloadKB = 10;
  start();
  EXPECT_EQ(statusOf(m) & MSGSTATUS_REMOTE_DOWNLOAD, 0);
  maxDownloadKB = 100;
  tick();
  EXPECT_NE(statusOf(m) & MSGSTATUS_REMOTE_DOWNLOAD, 0);
}

TEST_F(SettledTest, AChangeReadOnlyAtALaterRevisitCounts)
{
  MemMessage *ann = add({.from = u"ann@x"});
  addRule({.from = u"ann", .isRead = true, .execute = u"/usr/bin/notify"});
  start();
  // Read elsewhere while the store cannot be read: the notification's
  // evaluation and the next revisit still see it unread.
  memFailAlways(world(), MapiCall::PropGetProps, MAPI_E_CALL_FAILED);
  memSetProp(memObject(ann), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ), true);
  settle();
  tick();
  EXPECT_TRUE(shellTakeRecorded().empty());
  memClearFaults(world());
  tick();
  EXPECT_EQ(shellTakeRecorded().size(), 1u) << "read again, and judged again";
}

TEST_F(SettledTest, RulesEditedDuringTheWalkCountAtTheNextRevisit)
{
  // The walk goes newest first: old1, then bob, then old2. Both old
  // messages come due in the same walk and their moves are refused; while
  // the first box is open bob's rule is disabled (bob is judged without it),
  // while the second it is enabled again, the rules as they were when the
  // walk began.
  add({.from = u"old2@x"});
  MemMessage *bob = add({.from = u"bob@x"});
  add({.from = u"old1@x"});
  addRule({.from = u"old", .moveTo = u"Old", .olderThan = 1});
  switchedRule = addRule({.from = u"bob", .execute = u"/usr/bin/notify"});
  boxesShown = 0;
  openSession();
  settle();
  ASSERT_EQ(shellTakeRecorded().size(), 1u);
  memFailAlways(world(), MapiCall::FolderCopyMessages, MAPI_E_NO_ACCESS);
  messageBoxUseReal();
  setMessageBoxHook(editRulesWhileTheBoxIsOpen);
  tick(121000);
  setMessageBoxHook(nullptr);
  EXPECT_EQ(boxesShown, 2);
  EXPECT_TRUE(shellTakeRecorded().empty()) << "bob was judged while his rule was off";
  tick();
  EXPECT_EQ(shellTakeRecorded().size(), 1u) << "and is judged again now that it is on";
  EXPECT_EQ(where(bob), "Inbox");
}
