// The rule actions and the record's life in the cache, observed through the
// store, the recorded shell calls and message boxes, and the cache itself.
#include "engine/in_progress.h"
#include "tests/engine/engine_scene.h"

namespace {

class ActionsTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
  }

  MemMessage *add(const MemMessageFields &fields) { return memAddMessage(memInbox(store), fields); }
  StoreWatcher *watcher() const { return watcherOf(u"Mail"); }

  // Starts a full scan, as a change of the Inbox folder does.
  void rescan()
  {
    memPostEvents(world(), {memEvent(fnevObjectModified, memObject(memInbox(store)))});
    settle();
  }

  static std::vector<ShellCall::Kind> kinds(const std::vector<ShellCall> &calls)
  {
    std::vector<ShellCall::Kind> out;
    for (const ShellCall &c : calls)
      out.push_back(c.kind);
    return out;
  }

  MemStore *store = nullptr;
};

} // namespace

TEST_F(ActionsTest, RefusedMoveShowsOneBoxPerAttemptAndDropsTheRecord)
{
  MemMessage *m = add({.from = u"ann@x"});
  addRule({.from = u"ann", .moveTo = u"Ann"});
  memFailAlways(world(), MapiCall::FolderCopyMessages, MAPI_E_NO_ACCESS);
  openSession();
  settle();
  std::vector<MessageBoxCall> boxes = messageBoxTakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"Cannot copy the message.");
  EXPECT_FALSE(boxes[0].hasCaption);
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(cachedRecords(watcher()), 0u) << "dropped although the message is still there";
  EXPECT_EQ(where(m), "Inbox");
  EXPECT_FALSE(isKnownUser(u"ann@x")) << "one attempt counts once";

  tick();
  EXPECT_TRUE(messageBoxTakeRecorded().empty()) << "no record, no attempt at the revisit";

  rescan(); // the next full scan rebuilds the record and tries again
  EXPECT_EQ(messageBoxTakeRecorded().size(), 1u);
  EXPECT_TRUE(isKnownUser(u"ann@x")) << "two attempts make the sender known";
}

TEST_F(ActionsTest, AFolderThatCannotBeMadeIsSaidOnceNotAtEveryRevisit)
{
  add({.from = u"ann@x"});
  add({.from = u"ann@y"});
  addRule({.from = u"ann", .moveTo = u"Refused"});
  memFailAlways(world(), MapiCall::FolderCreateFolder, MAPI_E_CALL_FAILED);
  testing::internal::CaptureStderr();
  openSession();
  settle();
  tick();
  tick();
  std::string said = testing::internal::GetCapturedStderr();
  std::size_t at = said.find("no folder \"Refused\" can be found or made");
  ASSERT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said.find("Refused", at + 20), std::string::npos) << said;
  EXPECT_TRUE(messageBoxTakeRecorded().empty());
}

TEST_F(ActionsTest, SendersBecomeKnownAfterTwoMoves)
{
  add({.from = u"Ann <Ann@X>"});
  add({.from = u"ann@x"});
  add({.from = u"bob@x"});
  add({.from = u"spam@x"});
  addRule({.from = u"@x", .moveTo = u"Sorted"});
  addRule({.from = u"spam", .moveTo = u">> DELETE <<"});
  openSession();
  settle();
  EXPECT_TRUE(isKnownUser(u"ann@x"));
  EXPECT_FALSE(isKnownUser(u"bob@x")) << "one move: seen once";
  EXPECT_EQ(countKnownUsers(), 2u) << "a delete counts nothing";
  EXPECT_EQ(knownUsersDirty, 1);
}

TEST_F(ActionsTest, SoundIntervalAndExecuteAtEveryEvaluation)
{
  add({.from = u"ann@x"});
  add({.from = u"bob@x"});
  addRule({.from = u"ann", .playSound = u"ding.wav", .execute = u"/usr/bin/notify"});
  addRule({.from = u"bob", .playSound = u"bob.wav"});
  openSession();
  settle();
  std::vector<ShellCall> first = shellTakeRecorded();
  EXPECT_EQ(kinds(first), (std::vector<ShellCall::Kind>{ShellCall::Sound, ShellCall::Execute}));
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].path, "/usr/bin/notify");
  EXPECT_EQ(first[1].verb, "");
  EXPECT_EQ(first[1].parameters, "");
  EXPECT_EQ(first[1].directory, "");
  EXPECT_EQ(first[1].nShow, 0);
  EXPECT_EQ(first[1].hwnd, nullptr);

  // Every 5 s: the program each time, the sound only after more than 10 s.
  const std::vector<ShellCall::Kind> expected[] = {
      {ShellCall::Execute},                   // +5 s
      {ShellCall::Execute},                   // +10 s: exactly 10 s is not enough
      {ShellCall::Sound, ShellCall::Execute}, // +15 s
      {ShellCall::Execute},                   // +20 s
  };
  for (const auto &calls : expected) {
    tick();
    EXPECT_EQ(kinds(shellTakeRecorded()), calls);
  }
}

TEST_F(ActionsTest, FailureInsideTheActionsDropsTheRecordAndThePassGoesOn)
{
  // A write announces itself, and its notification would evaluate the
  // message again: only the write case writes.
  struct Case {
    const char *name;
    MapiCall call;
    bool markAsRead;
  };
  const Case cases[] = {
      {"raising write", MapiCall::PropSetProps, true},
      {"raising move", MapiCall::FolderCopyMessages, false},
      {"raising open of the message", MapiCall::SessionOpenEntry, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    MemMessage *first = add({.from = u"ann@x", .subject = u"one"});
    MemMessage *second = add({.from = u"ann@x", .subject = u"two"});
    addRule({.from = u"ann", .moveTo = u"Ann", .markAsRead = c.markAsRead});
    openSession();
    settle();
    // Both were moved at set-up; put two fresh ones in and fault the first.
    ASSERT_EQ(where(first), "Inbox/Ann");
    ASSERT_EQ(where(second), "Inbox/Ann");
    memSetNotify(world(), false);
    MemMessage *a = add({.from = u"ann@x", .subject = u"a"});
    MemMessage *b = add({.from = u"ann@x", .subject = u"b"});
    memSetNotify(world(), true);
    // The first lookup opens the message once to record it; the action's
    // open is the second open of the scan.
    ULONG nth = c.call == MapiCall::SessionOpenEntry ? 2 : 1;
    memThrowOnCall(world(), c.call, nth);
    rescan();
    StoreWatcher *w = watcher();
    EXPECT_EQ(where(b), "Inbox/Ann") << "the pass went on after the failure";
    EXPECT_EQ(where(a), "Inbox") << "the faulted message stayed";
    EXPECT_EQ(cachedRecords(w), 0u) << "and its record was dropped";
    {
      CriticalSectionGuard guard(&w->recordLock);
      EXPECT_EQ(w->inProgress, nullptr);
    }
    rescan();
    EXPECT_EQ(where(a), "Inbox/Ann") << "a later scan finishes the job";
    EXPECT_TRUE(messageBoxTakeRecorded().empty());
    closeSession();
    clearRules();
    mem = std::make_unique<MemInstall>();
    store = memAddStore(world(), u"Mail");
  }
}

TEST_F(ActionsTest, StaleRecordsAt30000And30001Ms)
{
  MemMessage *a = add({.from = u"a@x"});
  MemMessage *b = add({.from = u"b@x"});
  openSession();
  settle();
  StoreWatcher *w = watcher();
  ASSERT_EQ(cachedRecords(w), 2u);
  MapiEntryBytes idB = memEntryId(memObject(b));
  auto lookUpB = [&] {
    CriticalSectionGuard guard(&w->recordLock);
    EXPECT_NE(findOrCreateRecord(w, static_cast<ULONG>(idB.size()), idB.data(), false), nullptr);
  };
  clockAdvance(30000);
  lookUpB();
  EXPECT_EQ(cachedRecords(w), 2u) << "a record exactly 30000 ms old stays";
  clockAdvance(1);
  lookUpB();
  EXPECT_EQ(cachedRecords(w), 1u) << "one 30001 ms old is dropped by a lookup of another message";

  // A record in progress is never dropped, however old.
  MapiEntryBytes idA = memEntryId(memObject(a));
  lookUpB();
  {
    CriticalSectionGuard guard(&w->recordLock);
    ASSERT_NE(findOrCreateRecord(w, static_cast<ULONG>(idA.size()), idA.data(), false), nullptr);
  }
  ASSERT_TRUE(claimProgress(w, static_cast<ULONG>(idA.size()), idA.data()));
  clockAdvance(40000);
  lookUpB();
  EXPECT_EQ(cachedRecords(w), 2u);
  endProgress(w, static_cast<ULONG>(idA.size()), idA.data());
  clockAdvance(1);
  lookUpB();
  EXPECT_EQ(cachedRecords(w), 1u);
}

TEST_F(ActionsTest, RevisitsKeepRecordsFreshAndGoNewestFirst)
{
  add({.from = u"a@x"});
  add({.from = u"b@x"});
  add({.from = u"c@x"});
  openSession();
  settle();
  StoreWatcher *w = watcher();
  for (int i = 0; i < 20; ++i)
    tick(); // 100 s of revisits: every record is seen every 5 s
  EXPECT_EQ(cachedRecords(w), 3u);
  CriticalSectionGuard guard(&w->recordLock);
  std::vector<std::u16string> order;
  for (RecordSlot *slot = w->records.first; slot; slot = slot->after)
    order.push_back(slot->record->senderAddress);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"c@x", u"b@x", u"a@x"}));
}

TEST_F(ActionsTest, StatusAndFlagsComeFromNotificationsNotRevisits)
{
  MemMessage *m = add({.from = u"ann@x"});
  addRule({.from = u"ann", .moveTo = u"Read", .isRead = true});
  openSession();
  settle();
  // Marked read silently: the revisits do not see it.
  memSetProp(memObject(m), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ), false);
  for (int i = 0; i < 8; ++i)
    tick();
  EXPECT_EQ(where(m), "Inbox");
  // The store's notification refreshes the record; 30 s later it moves.
  memSetProp(memObject(m), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ), true);
  settle();
  for (int i = 0; i < 7; ++i)
    tick();
  EXPECT_EQ(where(m), "Archive/Read");
}

TEST_F(ActionsTest, AMessageThatLeftTheInboxIsDroppedWithoutABox)
{
  // Marked read and moved in one evaluation: the write's notification is
  // handled after the move, when the message is no longer in the Inbox.
  MemMessage *m = add({.from = u"ann@x"});
  addRule({.from = u"ann", .moveTo = u"Ann", .markAsRead = true});
  openSession();
  settle();
  EXPECT_EQ(where(m), "Inbox/Ann");
  EXPECT_TRUE(isReadInStore(m));
  EXPECT_TRUE(messageBoxTakeRecorded().empty());
  EXPECT_FALSE(isKnownUser(u"ann@x")) << "one move counts once";

  // A cached message deleted behind the engine's back, due at a later revisit.
  addRule({.from = u"bob", .moveTo = u"Bob", .isRead = true});
  MemMessage *n = add({.from = u"bob@x", .read = true});
  settle();
  ASSERT_EQ(cachedRecords(watcher()), 1u);
  memRemoveMessage(n);
  for (int i = 0; i < 7; ++i)
    tick();
  EXPECT_TRUE(messageBoxTakeRecorded().empty());
  EXPECT_EQ(cachedRecords(watcher()), 0u);
  EXPECT_EQ(countKnownUsers(), 1u) << "no move of this engine, nothing counted";
}

TEST_F(ActionsTest, ARefusedWriteIsTriedAgain)
{
  MemMessage *m = add({.from = u"ann@x", .headerOnly = true});
  MemMessage *n = add({.from = u"bob@x"});
  addRule({.from = u"ann", .download = true});
  addRule({.from = u"bob", .markAsRead = true});
  memFailAlways(world(), MapiCall::PropSetProps, MAPI_E_NO_ACCESS);
  openSession();
  settle();
  tick();
  EXPECT_EQ(statusOf(m), LONG(MSGSTATUS_HEADERONLY));
  EXPECT_FALSE(isReadInStore(n));
  memClearFaults(world());
  tick();
  EXPECT_EQ(statusOf(m), LONG(MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD)) << "requested at the next evaluation";
  EXPECT_TRUE(isReadInStore(n));
}

TEST_F(ActionsTest, AFailedReadIsReadAgainAtTheNextRevisit)
{
  // Reads at set-up: the store's name, then the record's fields in their
  // order (size, flags, status, delivery time, attachments, sender name,
  // sender address ...): the eighth read, the sender address, fails.
  MemMessage *m = add({.from = u"ann@x", .fromName = u"Ann"});
  addRule({.from = u"ann@", .moveTo = u"Ann"});
  memFailCall(world(), MapiCall::PropGetProps, 8, MAPI_E_CALL_FAILED);
  openSession();
  settle();
  EXPECT_EQ(where(m), "Inbox") << "made without its sender: no rule matched";
  tick();
  EXPECT_EQ(where(m), "Inbox/Ann") << "read again and matched";
}
