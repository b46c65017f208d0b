// Every messaging call of a full scan failing, or raising, in turn: whatever
// breaks, the engine neither crashes nor leaks, and once the store behaves
// again a later scan and the revisits bring every message where it belongs.
#include "tests/engine/engine_scene.h"

namespace {

// Where each message of the scene must end up.
const char *const EXPECTED[] = {"Inbox", "Deleted Items", "Inbox/Dl", "Archive/Old", "Inbox/News"};

class FaultSweepTest : public EngineTest {
protected:
  // A watched store with the rules, then the messages put in silently.
  std::vector<MemMessage *> scene()
  {
    MemStore *store = memAddStore(world(), u"Mail");
    memSetAutoDownload(world(), true);
    addRule({.from = u"ann", .markAsRead = true});
    addRule({.from = u"spam", .moveTo = u">> DELETE <<"});
    addRule({.from = u"dl", .moveTo = u"Dl", .download = true});
    addRule({.from = u"old", .moveTo = u"Old", .isRead = true});
    addRule({.from = u"news", .moveTo = u"News"});
    openSession();
    settle();
    memSetNotify(world(), false);
    std::vector<MemMessage *> messages = {
        memAddMessage(memInbox(store), {.from = u"ann@x", .text = "To: me@x\r\n\r\n"}),
        memAddMessage(memInbox(store), {.from = u"spam@x", .headerOnly = true}),
        memAddMessage(memInbox(store), {.from = u"dl@x", .headerOnly = true}),
        memAddMessage(memInbox(store), {.from = u"old@x", .read = true}),
        memAddMessage(memInbox(store), {.from = u"news@x", .cc = u"Team <team@x>"}),
    };
    memSetNotify(world(), true);
    return messages;
  }

  // A change of the Inbox folder: a full scan on the notification thread.
  void rescan()
  {
    memPostEvents(world(), {memEvent(fnevObjectModified, memObject(memInbox(memStores(world())[0])))});
    settle();
  }

  // The scan with the fault armed, then the store healed and time passing.
  std::vector<std::string> run(MapiCall call, ULONG nth, bool raise)
  {
    std::vector<MemMessage *> messages = scene();
    if (raise)
      memThrowOnCall(world(), call, nth);
    else
      memFailCall(world(), call, nth, MAPI_E_CALL_FAILED);
    rescan();
    memClearFaults(world());
    rescan();
    for (int i = 0; i < 8; ++i)
      tick();
    std::vector<std::string> places;
    for (MemMessage *m : messages)
      places.push_back(where(m));
    return places;
  }

  void restart()
  {
    closeSession();
    clearRules();
    clearKnownUsers();
    messageBoxTakeRecorded();
    shellTakeRecorded();
    clockSetForTest(SCENE_START_TICK, SCENE_START_TIME);
    mem = std::make_unique<MemInstall>();
  }
};

} // namespace

TEST_F(FaultSweepTest, EveryCallOfAScanFailingOrRaisingInTurn)
{
  const std::vector<std::string> expected(std::begin(EXPECTED), std::end(EXPECTED));
  // A clean run, counting each method's calls during the faulted scan.
  scene();
  std::vector<ULONG> before;
  for (int c = 1; c < int(MapiCall::Count); ++c)
    before.push_back(memCallCount(world(), MapiCall(c)));
  rescan();
  std::vector<ULONG> calls;
  for (int c = 1; c < int(MapiCall::Count); ++c)
    calls.push_back(memCallCount(world(), MapiCall(c)) - before[c - 1]);
  restart();
  ASSERT_EQ(run(MapiCall::Any, 100000, false), expected) << "the clean run";

  int runs = 0;
  for (int c = 1; c < int(MapiCall::Count); ++c)
    for (bool raise : {false, true})
      for (ULONG nth = 1; nth <= calls[c - 1]; ++nth) {
        restart();
        SCOPED_TRACE(std::string(raise ? "raising " : "failing ") + mapiCallName(MapiCall(c)) + " call " +
                     std::to_string(nth));
        EXPECT_EQ(run(MapiCall(c), nth, raise), expected);
        ++runs;
      }
  EXPECT_GT(runs, 40);
}
