// Passes on two threads at once, and a revisit nested in a message box. The
// tests with "Concurrent" in their names run again under ThreadSanitizer.
#include "engine/in_progress.h"
#include "tests/engine/engine_scene.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// A message box that stays open until the test closes it, and may run
// something while it is open (on the thread that shows it).
struct BoxGate {
  std::mutex lock;
  std::condition_variable changed;
  int shown = 0;                // boxes shown so far
  bool closed = false;          // the test closed the box
  std::function<void()> inside; // run while the box is open, before it waits
};

BoxGate *gate = nullptr; // the gate of the running test

int gatedBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
  if (gate->inside)
    gate->inside();
  std::unique_lock<std::mutex> guard(gate->lock);
  ++gate->shown;
  gate->changed.notify_all();
  gate->changed.wait_for(guard, std::chrono::milliseconds(SCENE_WAIT_MS), [] { return gate->closed; });
  return IDOK;
}

class GateTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    gate = &boxes;
    messageBoxUseReal();
    setMessageBoxHook(gatedBox);
    store = memAddStore(world(), u"Mail");
  }

  void TearDown() override
  {
    close();
    setMessageBoxHook(nullptr);
    gate = nullptr;
    EngineTest::TearDown();
  }

  // Waits until n boxes were shown.
  void awaitBoxes(int n)
  {
    std::unique_lock<std::mutex> guard(boxes.lock);
    ASSERT_TRUE(boxes.changed.wait_for(guard, std::chrono::milliseconds(SCENE_WAIT_MS), [&] { return boxes.shown >= n; }));
  }

  void close()
  {
    std::lock_guard<std::mutex> guard(boxes.lock);
    boxes.closed = true;
    boxes.changed.notify_all();
  }

  int shown()
  {
    std::lock_guard<std::mutex> guard(boxes.lock);
    return boxes.shown;
  }

  BoxGate boxes;
  MemStore *store = nullptr;
};

} // namespace

TEST_F(GateTest, NestedRevisitLeavesTheOuterWalkValid)
{
  // Newest first: the walk meets b (whose move is refused) before a.
  MemMessage *a = memAddMessage(memInbox(store), {.from = u"ann@x", .read = true});
  MemMessage *b = memAddMessage(memInbox(store), {.from = u"ann@x", .read = true});
  addRule({.from = u"ann", .moveTo = u"Ann", .isRead = true});
  openSession();
  settle();
  boxes.closed = true;
  // The timer fires in the box's message loop: a revisit on the same thread.
  boxes.inside = [] { revisitAllStores(); };
  memFailCall(world(), MapiCall::FolderCopyMessages, 1, MAPI_E_NO_ACCESS);
  tick(31000);
  EXPECT_EQ(shown(), 1);
  EXPECT_EQ(where(b), "Inbox");
  EXPECT_EQ(where(a), "Archive/Ann") << "the outer walk went on to a";
  EXPECT_EQ(memCallCount(world(), MapiCall::FolderCopyMessages), 2u) << "the nested revisit did nothing";
  EXPECT_EQ(cachedRecords(watcherOf(u"Mail")), 0u);
}

TEST_F(GateTest, ConcurrentNotificationWaitsForTheWalk)
{
  MemMessage *a = memAddMessage(memInbox(store), {.from = u"ann@x", .read = true});
  addRule({.from = u"ann", .moveTo = u"Ann", .isRead = true});
  addRule({.from = u"cy", .moveTo = u"Cy"});
  openSession();
  settle();
  memFailCall(world(), MapiCall::FolderCopyMessages, 1, MAPI_E_NO_ACCESS);
  clockAdvance(31000);
  std::thread timer([] { revisitAllStores(); }); // stands for the main thread
  awaitBoxes(1);                                 // the walk holds the cache, its box open
  MemMessage *c = memAddMessage(memInbox(store), {.from = u"cy@x"});
  EXPECT_FALSE(MAPIWaitForNotifications(300)) << "the notification waits for the walk";
  EXPECT_EQ(where(c), "Inbox");
  close();
  timer.join();
  settle();
  EXPECT_EQ(where(c), "Inbox/Cy") << "then it applies the rules itself";
  EXPECT_EQ(where(a), "Inbox");
}

TEST_F(GateTest, ConcurrentNotificationForAMessageInProgressReturns)
{
  MemMessage *a = memAddMessage(memInbox(store), {.from = u"ann@x"});
  addRule({.from = u"ann", .moveTo = u"Ann"});
  memFailCall(world(), MapiCall::FolderCopyMessages, 1, MAPI_E_NO_ACCESS);
  std::thread startUp([] { openSession(); }); // its first full scan meets a, whose move is refused
  awaitBoxes(1);
  // The store reports a change of a while its rules are being applied.
  memSetProp(memObject(a), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ));
  EXPECT_TRUE(MAPIWaitForNotifications(SCENE_WAIT_MS)) << "the notification returned at once";
  EXPECT_EQ(shown(), 1);
  close();
  startUp.join();
  settle();
  EXPECT_EQ(shown(), 1);
  EXPECT_EQ(where(a), "Inbox");
  EXPECT_EQ(cachedRecords(watcherOf(u"Mail")), 0u) << "the refused move dropped the record";
}

TEST_F(GateTest, ConcurrentRefreshIsDeferredWhileInProgress)
{
  // While a message is in progress (here: claimed by the test), a
  // notification's refresh does not touch its record but is left to the
  // owner, which refreshes when it ends.
  MemMessage *a = memAddMessage(memInbox(store), {.from = u"ann@x", .headerOnly = true});
  openSession();
  settle();
  StoreWatcher *w = watcherOf(u"Mail");
  MapiEntryBytes id = memEntryId(memObject(a));
  ASSERT_TRUE(claimProgress(w, static_cast<ULONG>(id.size()), id.data()));
  memCompleteDownload(a);
  settle();
  {
    CriticalSectionGuard guard(&w->recordLock);
    ASSERT_NE(w->records.first, nullptr);
    EXPECT_NE(w->records.first->record->status & MSGSTATUS_HEADERONLY, 0u) << "not touched while in progress";
    EXPECT_TRUE(endProgress(w, static_cast<ULONG>(id.size()), id.data())) << "the refresh was asked for";
  }
  memSetProp(memObject(a), mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ));
  settle();
  CriticalSectionGuard guard(&w->recordLock);
  EXPECT_EQ(w->records.first->record->status & MSGSTATUS_HEADERONLY, 0u) << "refreshed in place once free";
  EXPECT_EQ(w->records.first->record->messageFlags, MSGFLAG_READ);
}

namespace {

// The notification thread against the timer's revisits, over thousands of
// messages: each kind of message must end where its rule sends it, moved
// exactly once.
class StressTest : public EngineTest {};

constexpr int STRESS_ROUNDS = 600; // four messages a round

std::u16string sender(const char *kind, int i) { return utf8ToUtf16(kind + ("-" + std::to_string(i)) + "@x"); }

} // namespace

TEST_F(StressTest, ConcurrentNotificationsAndRevisits)
{
  MemStore *store = memAddStore(world(), u"Mail");
  addRule({.from = u"keep", .markAsRead = true});
  addRule({.from = u"late", .moveTo = u"Late", .isRead = true});
  addRule({.from = u"now", .moveTo = u"Now"});
  addRule({.from = u"junk", .moveTo = u">> DELETE <<"});
  openSession();
  std::vector<MemMessage *> keep, late, now, junk;
  for (int i = 0; i < STRESS_ROUNDS; ++i) {
    keep.push_back(memAddMessage(memInbox(store), {.from = sender("keep", i)}));
    late.push_back(memAddMessage(memInbox(store), {.from = sender("late", i), .read = true}));
    now.push_back(memAddMessage(memInbox(store), {.from = sender("now", i)}));
    junk.push_back(memAddMessage(memInbox(store), {.from = sender("junk", i)}));
    revisitAllStores(); // the timer, while the notifications of the new messages are handled
    clockAdvance(1000);
  }
  settle();
  for (int i = 0; i < 8; ++i)
    tick();

  StoreWatcher *w = watcherOf(u"Mail");
  int misplaced = 0;
  for (int i = 0; i < STRESS_ROUNDS; ++i) {
    misplaced += where(keep[i]) != "Inbox" || !isReadInStore(keep[i]);
    misplaced += where(late[i]) != "Archive/Late";
    misplaced += where(now[i]) != "Inbox/Now";
    misplaced += where(junk[i]) != "Deleted Items";
  }
  EXPECT_EQ(misplaced, 0);
  EXPECT_TRUE(messageBoxTakeRecorded().empty()) << "a move tried twice would have been refused";
  EXPECT_EQ(countKnownUsers(), std::size_t(2 * STRESS_ROUNDS)) << "each moved sender counted";
  for (int i = 0; i < STRESS_ROUNDS; ++i) {
    EXPECT_FALSE(isKnownUser(sender("late", i).c_str())) << "counted twice: moved twice";
    EXPECT_FALSE(isKnownUser(sender("now", i).c_str())) << "counted twice: moved twice";
  }
  EXPECT_EQ(cachedRecords(w), std::size_t(STRESS_ROUNDS)) << "every kept message has its record, no more";
  CriticalSectionGuard guard(&w->recordLock);
  EXPECT_EQ(w->inProgress, nullptr);
  EXPECT_EQ(w->busy.load(), 0);
}
