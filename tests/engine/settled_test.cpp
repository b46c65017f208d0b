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

  // Whether the revisit passes over the message's record now.
  bool passedOver(MemMessage *m)
  {
    StoreWatcher *watcher = watcherOf(u"Mail");
    MapiEntryBytes id = memEntryId(memObject(m));
    CriticalSectionGuard guard(&watcher->recordLock);
    RecordSlot *slot = cacheFind(&watcher->records, static_cast<ULONG>(id.size()), id.data());
    return slot && isSettled(watcher->settle, slot);
  }

  MemStore *store = nullptr;
};

// One minute as a file time.
constexpr ULONGLONG MINUTE = 600'000'000ULL;

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

TEST_F(SettledTest, AWinnerWithNothingLeftToDoIsPassedOver)
{
  // The default rules: download once read, download from known senders.
  MemMessage *read = add({.from = u"ann@x", .read = true});
  MemMessage *partial = add({.from = u"bob@x", .read = true, .headerOnly = true});
  MemMessage *cy = add({.from = u"cy@x", .read = true});
  addRule({.isRead = true, .download = true});
  addRule({.from = u">> Known users <<", .download = true});
  addRule({.from = u"cy", .isRead = true, .execute = u"/usr/bin/notify"});
  start();
  EXPECT_TRUE(passedOver(read)) << "read and complete: the rule that won has nothing to do";
  EXPECT_NE(statusOf(partial) & MSGSTATUS_REMOTE_DOWNLOAD, 0);
  EXPECT_TRUE(passedOver(partial)) << "marked for download: no rule wins until it comes";
  shellTakeRecorded();
  tick();
  EXPECT_FALSE(passedOver(cy));
  EXPECT_EQ(shellTakeRecorded().size(), 1u) << "a program is started at every evaluation";

  memCompleteDownload(partial); // which makes it unread, as the transport does
  settle();
  memSetProp(memObject(partial), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ), true);
  settle();
  tick();
  EXPECT_EQ(statusOf(partial) & (MSGSTATUS_REMOTE_DOWNLOAD | MSGSTATUS_HEADERONLY), 0);
  EXPECT_TRUE(passedOver(partial)) << "complete and read again: nothing more to ask for";
  memSetProp(memObject(read), mapiLong(PR_MESSAGE_FLAGS, 0), true);
  settle();
  EXPECT_FALSE(passedOver(read)) << "changed: judged again";
}

TEST_F(SettledTest, WhatAnIdleWinnerHeldByCanTurn)
{
  MemMessage *ann = add({.from = u"ann@x", .subject = u"x"});
  MemMessage *bob = add({.from = u"bob@x", .subject = u"y", .read = true, .delivered = SCENE_START_TIME - 2 * MINUTE});
  MemMessage *cy = add({.from = u"cy@x", .read = true});
  addKnownUser(u"ann@x", true);
  addRule({.from = u">> Known users <<", .download = true});
  addRule({.subject = u"x", .moveTo = u"Unknown"});
  addRule({.subject = u"y", .olderThan = 1, .markAsRead = true});
  addRule({.subject = u"y", .moveTo = u"Young"});
  addRule({.isRead = true, .download = true});
  addRule({.from = u"cy", .moveTo = u"Old", .olderThan = 3});
  start();
  ASSERT_TRUE(passedOver(ann) && passedOver(bob) && passedOver(cy));

  removeKnownUser(u"ann@x");
  tick();
  EXPECT_EQ(where(ann), "Inbox/Unknown") << "the winner's sender is no longer known";

  tick(4 * 60000);
  EXPECT_EQ(where(cy), "Inbox/Old") << "a higher rule's age came due";

  // The clock set back: bob is younger than the winner's minute again.
  clockSetForTest(SCENE_START_TICK + 10 * 60000, SCENE_START_TIME - 10 * MINUTE);
  revisitAllStores();
  settle();
  EXPECT_EQ(where(bob), "Inbox/Young");
}
