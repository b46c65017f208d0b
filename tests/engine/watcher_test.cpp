// The session, the store watchers and their notifications.
#include "engine/in_progress.h"
#include "engine/mapi_refs.h"
#include "tests/engine/engine_scene.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

class WatcherTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
    other = memAddFolder(memTop(store), u"Other");
  }

  StoreWatcher *watcher() const { return watcherOf(u"Mail"); }

  // Adds a message without any notification.
  MemMessage *addQuietly(MemFolder *folder, const MemMessageFields &fields)
  {
    memSetNotify(world(), false);
    MemMessage *m = memAddMessage(folder, fields);
    memSetNotify(world(), true);
    return m;
  }

  // Programs started so far (each evaluation of an "execute" rule starts one).
  static std::size_t evaluations()
  {
    std::size_t n = 0;
    for (const ShellCall &c : shellTakeRecorded())
      n += c.kind == ShellCall::Execute;
    return n;
  }

  MemStore *store = nullptr;
  MemFolder *other = nullptr;
};

} // namespace

TEST_F(WatcherTest, TwoStoresTwoWatchersLastOpenedFirst)
{
  memAddStore(world(), u"Second");
  addRule({.from = u"ann", .execute = u"/bin/first", .mailbox = u"Mail"});
  addRule({.from = u"ann", .execute = u"/bin/second", .mailbox = u"Second"});
  memAddMessage(memInbox(store), {.from = u"ann@x"});
  memAddMessage(memInbox(memStores(world())[1]), {.from = u"ann@x"});
  openSession();
  settle();
  ASSERT_NE(watcherList, nullptr);
  ASSERT_NE(watcherList->next, nullptr);
  EXPECT_EQ(watcherList->next->next, nullptr);
  EXPECT_EQ(std::u16string(storeDisplayName(watcherList->watcher)), u"Second");
  EXPECT_EQ(std::u16string(storeDisplayName(watcherList->next->watcher)), u"Mail");
  shellTakeRecorded();
  tick();
  std::vector<ShellCall> calls = shellTakeRecorded();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].path, "/bin/second") << "the store opened last is revisited first";
  EXPECT_EQ(calls[1].path, "/bin/first");
}

TEST_F(WatcherTest, NotificationsByObjectAndFolder)
{
  addRule({.from = u"ann", .execute = u"/bin/seen"});
  openSession();
  settle();
  ASSERT_EQ(evaluations(), 0u);

  MemMessage *quiet = addQuietly(memInbox(store), {.from = u"ann@x"});
  memPostEvents(world(), {memEvent(fnevObjectModified, memObject(other))});
  settle();
  EXPECT_EQ(evaluations(), 0u) << "a change of another folder changes nothing";
  memPostEvents(world(), {memEvent(fnevObjectModified, memObject(memInbox(store)))});
  settle();
  EXPECT_EQ(evaluations(), 1u) << "a change of the Inbox folder scans it";
  EXPECT_EQ(cachedRecords(watcher()), 1u);

  memPostEvents(world(), {memEvent(fnevObjectModified, memObject(store))});
  settle();
  EXPECT_EQ(evaluations(), 1u) << "a change of the store revisits the cache";

  MemMessage *outside = addQuietly(other, {.from = u"ann@x"});
  memPostEvents(world(), {memEvent(fnevObjectCreated, memObject(outside))});
  settle();
  EXPECT_EQ(evaluations(), 0u) << "a message in another folder is not processed";

  memPostEvents(world(), {memEvent(fnevObjectCopied, memObject(quiet))}, true);
  settle();
  EXPECT_EQ(evaluations(), 1u) << "copied into the Inbox, although not subscribed";
  memPostEvents(world(), {memEvent(fnevObjectDeleted, memObject(quiet))}, true);
  memPostEvents(world(), {memEvent(fnevSearchComplete, memObject(quiet))}, true);
  settle();
  EXPECT_EQ(evaluations(), 0u) << "other events are ignored";
}

TEST_F(WatcherTest, OnlyTheFirstNotificationOfAnArray)
{
  addRule({.from = u"ann", .moveTo = u"Ann"});
  openSession();
  settle();
  MemMessage *first = addQuietly(memInbox(store), {.from = u"ann@x"});
  MemMessage *second = addQuietly(memInbox(store), {.from = u"ann@x"});
  MemMessage *third = addQuietly(memInbox(store), {.from = u"ann@x"});
  memPostEvents(world(), {memEvent(fnevObjectCreated, memObject(first)), memEvent(fnevObjectCreated, memObject(second)),
                          memEvent(fnevObjectCreated, memObject(third))});
  settle();
  EXPECT_EQ(where(first), "Inbox/Ann");
  EXPECT_EQ(where(second), "Inbox");
  EXPECT_EQ(where(third), "Inbox");
}

TEST_F(WatcherTest, AMessageIsJudgedByItsNewFolder)
{
  addRule({.from = u"ann", .execute = u"/bin/seen"});
  openSession();
  settle();
  // Moved into the Inbox by someone else: processed.
  MemMessage *m = addQuietly(other, {.from = u"ann@x"});
  ComRef<IMAPIFolder> from;
  ComRef<IMAPIFolder> inbox;
  MapiEntryBytes otherId = memEntryId(memObject(other));
  MapiEntryBytes inboxId = memEntryId(memObject(memInbox(store)));
  ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(otherId.size()), reinterpret_cast<LPENTRYID>(otherId.data()),
                               nullptr, 0, nullptr, from.putUnknown()),
            S_OK);
  ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(inboxId.size()), reinterpret_cast<LPENTRYID>(inboxId.data()),
                               nullptr, 0, nullptr, inbox.putUnknown()),
            S_OK);
  auto move = [&](IMAPIFolder *source, IMAPIFolder *target) {
    MapiEntryBytes id = memEntryId(memObject(m));
    SBinary one{static_cast<ULONG>(id.size()), id.data()};
    ENTRYLIST list{1, &one};
    ASSERT_EQ(source->CopyMessages(&list, nullptr, target, 0, nullptr, MESSAGE_MOVE), S_OK);
    settle();
  };
  move(from.get(), inbox.get());
  EXPECT_EQ(evaluations(), 1u);
  // Moved out of the Inbox by someone else: not processed there, and its
  // record goes, as after a move of the engine's own.
  move(inbox.get(), from.get());
  EXPECT_EQ(evaluations(), 0u);
  EXPECT_EQ(cachedRecords(watcher()), 0u);
  tick();
  EXPECT_EQ(evaluations(), 0u) << "no revisit evaluates a message that left the Inbox";
}

TEST_F(WatcherTest, AMessageDeletedByAnotherProgramLeavesTheCache)
{
  addRule({.from = u"ann", .execute = u"/bin/seen"});
  MemMessage *gone = memAddMessage(memInbox(store), {.from = u"ann@x"});
  MemMessage *stays = memAddMessage(memInbox(store), {.from = u"ann@x"});
  MemMessage *elsewhere = memAddMessage(other, {.from = u"ann@x"});
  openSession();
  settle();
  EXPECT_EQ(evaluations(), 2u);
  memRemoveMessage(elsewhere);
  memRemoveMessage(gone);
  settle();
  EXPECT_EQ(cachedRecords(watcher()), 1u);
  tick();
  EXPECT_EQ(evaluations(), 1u);
  (void)stays;
}

TEST_F(WatcherTest, AMessageThatLeavesWhileInProgressGoesWhenItsOwnerIsDone)
{
  addRule({.from = u"ann", .execute = u"/bin/seen"});
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x"});
  openSession();
  settle();
  ASSERT_EQ(evaluations(), 1u);
  // Another caller is applying the rules to it when it is deleted.
  MapiEntryBytes id = memEntryId(memObject(m));
  ASSERT_TRUE(claimProgress(watcher(), static_cast<ULONG>(id.size()), id.data()));
  memRemoveMessage(m);
  settle();
  EXPECT_EQ(cachedRecords(watcher()), 1u) << "the owner's record stays while it works";
  (void)endProgress(watcher(), static_cast<ULONG>(id.size()), id.data());
  tick();
  EXPECT_EQ(evaluations(), 0u);
  EXPECT_EQ(cachedRecords(watcher()), 0u);
}

TEST_F(WatcherTest, ConcurrentDeletionOfAMessageBeingReadLeavesNoRecord)
{
  addRule({.from = u"ann", .execute = u"/bin/seen"});
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x"});
  // Another program deletes the message once the first scan has opened it,
  // while its properties are read.
  bool heard = false;
  memRunOnCall(world(), MapiCall::SessionOpenEntry, 1, [&] {
    memRunOnCall(world(), MapiCall::PropGetProps, 1, [&] {
      memRemoveMessage(m);
      heard = MAPIWaitForNotifications(SCENE_WAIT_MS);
    });
  });
  openSession();
  settle();
  EXPECT_TRUE(heard) << "the deletion was handled during the read, not held up by it";
  EXPECT_EQ(cachedRecords(watcher()), 0u);
  EXPECT_EQ(evaluations(), 0u);
  tick();
  EXPECT_EQ(evaluations(), 0u) << "no revisit evaluates it either";
}

TEST_F(WatcherTest, NewMailIsProcessedWhereItArrived)
{
  addRule({.from = u"ann", .moveTo = u"Ann"});
  openSession();
  settle();
  MemMessage *m = addQuietly(other, {.from = u"ann@x"});
  memPostEvents(world(), {memEvent(fnevNewMail, memObject(m))}, true);
  settle();
  EXPECT_EQ(where(m), "Inbox/Ann") << "new mail is not compared with the Inbox";
}

TEST_F(WatcherTest, UnreadableFolderLeavesTheRulesToTheNextRevisit)
{
  addRule({.from = u"ann", .moveTo = u"Ann"});
  openSession();
  settle();
  MemMessage *m = addQuietly(memInbox(store), {.from = u"ann@x"});
  MemMessage *n = addQuietly(memInbox(store), {.from = u"ann@x"});
  memFailCall(world(), MapiCall::StoreOpenEntry, 1, MAPI_E_NOT_FOUND);
  memPostEvents(world(), {memEvent(fnevObjectCreated, memObject(m))});
  settle();
  memThrowOnCall(world(), MapiCall::StoreOpenEntry, 1);
  memPostEvents(world(), {memEvent(fnevObjectCreated, memObject(n))});
  settle();
  EXPECT_EQ(where(m), "Inbox");
  EXPECT_EQ(where(n), "Inbox") << "nothing crosses back into the messaging system";
  EXPECT_EQ(cachedRecords(watcher()), 2u) << "both recorded all the same";
  tick();
  EXPECT_EQ(where(m), "Inbox/Ann");
  EXPECT_EQ(where(n), "Inbox/Ann");
}

TEST_F(WatcherTest, SinkInterface)
{
  openSession();
  StoreWatcher *w = watcher();
  ASSERT_NE(w, nullptr);
  ULONG before = w->refCount;
  void *out = nullptr;
  EXPECT_EQ(w->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<IMAPIAdviseSink *>(w));
  EXPECT_EQ(w->refCount, before + 1);
  EXPECT_EQ(w->QueryInterface(IID_IMAPIAdviseSink, &out), S_OK);
  EXPECT_EQ(w->refCount, before + 2);
  void *untouched = &before;
  EXPECT_EQ(w->QueryInterface(IID_IMAPITable, &untouched), E_NOINTERFACE);
  EXPECT_EQ(untouched, &before);
  EXPECT_EQ(w->refCount, before + 2);
  EXPECT_EQ(w->Release(), before + 1);
  EXPECT_EQ(w->Release(), before);
  EXPECT_EQ(w->AddRef(), before + 1);
  EXPECT_EQ(w->Release(), before);
}

TEST_F(WatcherTest, LastReleaseDestroysTheWatcher)
{
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x"});
  openSession();
  // A watcher the store never subscribed: the caller's reference is the only one.
  MapiEntryBytes id = memEntryId(memObject(store));
  LPMDB mdb = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0,
                                  &mdb),
            S_OK);
  memFailCall(world(), MapiCall::StoreAdvise, 1, MAPI_E_NO_SUPPORT);
  StoreWatcher *w = setUpStoreWatcher(mdb);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->refCount, 1u);
  EXPECT_EQ(w->connection, 0u);
  EXPECT_EQ(cachedRecords(w), 1u) << "its first full scan ran";
  EXPECT_EQ(w->Release(), 0u); // destroyed: its records and store go with it (the sanitizers check)
  EXPECT_EQ(where(m), "Inbox");
}

TEST_F(WatcherTest, AStoreThatAppearsIsSetUpConcurrentlyAndWatched)
{
  addRule({.from = u"ann", .moveTo = u"Ann"});
  openSession();
  settle();
  MemStore *later = memAddStore(world(), u"Later");
  MemMessage *m = memAddMessage(memInbox(later), {.from = u"ann@x"});
  tick(); // its watcher is set up on a thread of its own, whose first scan sorts
  for (DWORD waited = 0; where(m) != "Inbox/Ann" && waited < SCENE_WAIT_MS; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(where(m), "Inbox/Ann");
  tick();
  tick();
  ASSERT_NE(watcherOf(u"Later"), nullptr) << "listed once set up";
  std::size_t watchers = 0;
  for (WatcherNode *node = watcherList; node; node = node->next)
    ++watchers;
  EXPECT_EQ(watchers, 2u) << "a store has one watcher, however often the table lists it";
  MemMessage *next = memAddMessage(memInbox(later), {.from = u"ann@y"});
  settle();
  EXPECT_EQ(where(next), "Inbox/Ann") << "its notifications come";

  // A store that appears just before the session ends: its set-up ends first.
  memAddMessage(memInbox(memAddStore(world(), u"Last")), {.from = u"ann@z"});
  tick();
  closeSession();
  EXPECT_EQ(watcherList, nullptr);
}

TEST_F(WatcherTest, SessionFailures)
{
  memFailInitialize(world(), MAPI_E_CALL_FAILED);
  openSession();
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(watcherList, nullptr);
  revisitAllStores();
  closeSession();
  memFailInitialize(world(), S_OK);

  memFailLogon(world(), MAPI_E_LOGON_FAILED);
  openSession();
  EXPECT_EQ(session, nullptr);
  memFailLogon(world(), S_OK);

  memFailCall(world(), MapiCall::SessionGetMsgStoresTable, 1, MAPI_E_CALL_FAILED);
  openSession();
  EXPECT_NE(session, nullptr) << "the dialogs can still use the session";
  EXPECT_EQ(watcherList, nullptr);
  closeSession();
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(memOpenSessions(world()), 0u);

  memAddStore(world(), u"Second");
  memFailCall(world(), MapiCall::SessionOpenMsgStore, 1, MAPI_E_NOT_FOUND);
  openSession();
  ASSERT_NE(watcherList, nullptr);
  EXPECT_EQ(watcherList->next, nullptr) << "a store that cannot be opened is skipped";
  EXPECT_EQ(std::u16string(storeDisplayName(watcherList->watcher)), u"Second");
}

TEST_F(WatcherTest, UnreadableNameAndInbox)
{
  addRule({.from = u"ann", .moveTo = u"Mine", .mailbox = u"Mail"});
  addRule({.from = u"x", .subject = u"any", .moveTo = u"Any"});
  MemMessage *mine = memAddMessage(memInbox(store), {.from = u"ann@x"});
  MemMessage *any = memAddMessage(memInbox(store), {.from = u"bob@x", .subject = u"any"});
  memFailCall(world(), MapiCall::PropGetProps, 1, MAPI_E_CALL_FAILED); // the store's name
  openSession();
  settle();
  EXPECT_EQ(storeDisplayName(watcher() ? watcher() : watcherList->watcher), nullptr);
  EXPECT_EQ(where(mine), "Inbox") << "a rule for a mailbox never applies to a store without a name";
  EXPECT_EQ(where(any), "Inbox/Any");
  closeSession();

  memFailCall(world(), MapiCall::StoreGetReceiveFolder, 1, MAPI_E_NOT_FOUND);
  openSession();
  settle();
  StoreWatcher *w = watcher();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->inboxIdSize, 0u);
  EXPECT_EQ(w->inboxId, nullptr);
  EXPECT_EQ(where(mine), "Inbox") << "without an Inbox nothing is scanned";
  memAddMessage(memInbox(store), {.from = u"bob@x", .subject = u"any"});
  settle();
  tick();
  EXPECT_EQ(cachedRecords(w), 0u) << "nor does a notification match it";
}

TEST_F(WatcherTest, CloseSessionEndsEverything)
{
  memAddStore(world(), u"Second");
  memAddMessage(memInbox(store), {.from = u"ann@x"});
  openSession();
  settle();
  closeSession();
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(watcherList, nullptr);
  EXPECT_EQ(memOpenSessions(world()), 0u);
  ULONG calls = memCallCount(world(), MapiCall::Any);
  revisitAllStores();
  memAddMessage(memInbox(store), {.from = u"bob@x"});
  EXPECT_TRUE(MAPIWaitForNotifications(SCENE_WAIT_MS));
  EXPECT_EQ(memCallCount(world(), MapiCall::Any), calls) << "nothing is processed after the close";
  closeSession();
}
