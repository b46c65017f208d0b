// End-to-end scenarios: rules + a starting Inbox + known senders, the session
// opened (first full scan) and some timer ticks, then where every message is
// and what its flags say.
#include "tests/engine/engine_scene.h"

namespace {

constexpr ULONGLONG MINUTE = 600000000ULL; // file-time units

// One message of a scenario and what must become of it.
struct Msg {
  MemMessageFields fields;
  std::string expectedWhere;     // folder path afterwards, or "(removed)"
  int expectedRead = -1;         // 1 read, 0 unread, -1 not checked
  LONG expectedStatus = -1;      // PR_MSG_STATUS afterwards, -1 not checked
};

struct Scenario {
  const char *name;
  std::vector<RuleFields> rules;
  std::vector<Msg> inbox;
  std::vector<std::u16string> knownSenders = {}; // added as known (manually)
  std::vector<std::u16string> folders = {};      // existing folders besides the standard ones
  int ticks = 0;                                 // timer ticks of 5 s after the first scan
  LONG maxDownload = 0;                          // maxDownloadKB
};

class ScenarioTest : public EngineTest {
protected:
  void run(const Scenario &s)
  {
    SCOPED_TRACE(s.name);
    clockSetForTest(SCENE_START_TICK, SCENE_START_TIME);
    MemStore *store = memAddStore(world(), u"Mail");
    for (const std::u16string &path : s.folders)
      ensureFolder(store, path);
    std::vector<MemMessage *> messages;
    for (const Msg &m : s.inbox)
      messages.push_back(memAddMessage(memInbox(store), m.fields));
    for (const std::u16string &sender : s.knownSenders)
      addKnownUser(sender.c_str(), true);
    for (const RuleFields &r : s.rules)
      addRule(r);
    maxDownloadKB = s.maxDownload;
    openSession();
    settle();
    for (int i = 0; i < s.ticks; ++i)
      tick();
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const Msg &m = s.inbox[i];
      SCOPED_TRACE("message " + std::to_string(i));
      EXPECT_EQ(where(messages[i]), m.expectedWhere);
      if (m.expectedRead >= 0) {
        EXPECT_EQ(isReadInStore(messages[i]), m.expectedRead == 1);
      }
      if (m.expectedStatus >= 0) {
        EXPECT_EQ(statusOf(messages[i]), m.expectedStatus);
      }
    }
    EXPECT_TRUE(messageBoxTakeRecorded().empty());
  }
};

} // namespace

TEST_F(ScenarioTest, NoRuleMatches)
{
  run({"everything stays",
       {{.from = u"zed", .moveTo = u"Zed"}},
       {{{.from = u"ann@x"}, "Inbox", 0}, {{.from = u"bob@x"}, "Inbox", 0}, {{.from = u"cy@x"}, "Inbox", 0}},
       {},
       {},
       3});
  EXPECT_EQ(cachedRecords(watcherOf(u"Mail")), 3u) << "each message keeps its record";
  EXPECT_EQ(memChild(memTop(memStores(world())[0]), u"Zed"), nullptr);
}

TEST_F(ScenarioTest, WinnerAndTies)
{
  const Scenario scenarios[] = {
      {"the higher score wins over a later rule",
       {{.from = u"ann", .moveTo = u"From"}, {.subject = u"hello", .moveTo = u"Subject"}},
       {{{.from = u"ann@x", .subject = u"Hello there"}, "Inbox/From"}}},
      {"a later rule wins a tie",
       {{.from = u"ann", .moveTo = u"First"}, {.from = u"x", .moveTo = u"Second"}},
       {{{.from = u"ann@x"}, "Inbox/Second"}}},
      {"a sender rule (5) beats a later read rule (1)",
       {{.from = u"ann", .markAsRead = true}, {.moveTo = u"Read", .isRead = true}},
       {{{.from = u"ann@x", .read = true}, "Inbox", 1}},
       {},
       {},
       8},
      {"a disabled rule never wins",
       {{.from = u"ann", .moveTo = u"Off", .enabled = false}},
       {{{.from = u"ann@x"}, "Inbox"}}},
      {"a rule without conditions never wins", {{.moveTo = u"Any"}}, {{{.from = u"ann@x"}, "Inbox"}}},
      {"a rule for another mailbox is not scored",
       {{.from = u"ann", .moveTo = u"Here"}, {.from = u"ann", .moveTo = u"There", .mailbox = u"Other"}},
       {{{.from = u"ann@x"}, "Inbox/Here"}}},
      {"a rule for this mailbox is",
       {{.from = u"ann", .moveTo = u"Any"}, {.from = u"ann", .moveTo = u"Mine", .mailbox = u"Mail"}},
       {{{.from = u"ann@x"}, "Inbox/Mine"}}},
      {"mailbox names compare exactly",
       {{.from = u"ann", .moveTo = u"Mine", .mailbox = u"mail"}},
       {{{.from = u"ann@x"}, "Inbox"}}},
      {"only the winner acts: the loser's mark is not set",
       {{.from = u"ann", .markAsRead = true}, {.from = u"ann", .subject = u"x", .moveTo = u"Won"}},
       {{{.from = u"ann@x", .subject = u"x"}, "Inbox/Won", 0}}},
  };
  for (const Scenario &s : scenarios) {
    run(s);
    closeSession();
    clearRules();
    mem = std::make_unique<MemInstall>();
  }
}

TEST_F(ScenarioTest, MovesDeletesAndFolders)
{
  const Scenario scenarios[] = {
      {"unread rule: a missing folder is made in the Inbox",
       {{.from = u"ann", .moveTo = u"Projects"}},
       {{{.from = u"ann@x"}, "Inbox/Projects", 0}}},
      {"read rule: a missing folder is made in the archive, 30 s after it was seen read",
       {{.from = u"ann", .moveTo = u"Projects", .isRead = true}},
       {{{.from = u"ann@x", .read = true}, "Archive/Projects", 1}},
       {},
       {},
       7},
      {"read rule: not before 30 s",
       {{.from = u"ann", .moveTo = u"Projects", .isRead = true}},
       {{{.from = u"ann@x", .read = true}, "Inbox", 1}},
       {},
       {},
       6},
      {"an existing top folder is preferred", {{.from = u"ann", .moveTo = u"Work"}},
       {{{.from = u"ann@x"}, "Work"}}, {}, {u"Work", u"Inbox/Work"}},
      {"the archive rule moves to the archive folder itself",
       {{.moveTo = u"Archive", .isRead = true, .olderThan = 1}},
       {{{.from = u"ann@x", .read = true}, "Archive"}},
       {},
       {},
       13},
      {"delete goes to the deleted items", {{.from = u"spam", .moveTo = u">> DELETE <<"}},
       {{{.from = u"spam@x"}, "Deleted Items"}, {{.from = u"ann@x"}, "Inbox"}}},
      {"no delete while marked for download",
       {{.from = u"spam", .moveTo = u">> DELETE <<"}},
       {{{.from = u"spam@x", .status = MSGSTATUS_REMOTE_DOWNLOAD}, "Inbox", -1, MSGSTATUS_REMOTE_DOWNLOAD}}},
      {"a partial message's mark is withdrawn, then it is deleted",
       {{.from = u"spam", .moveTo = u">> DELETE <<"}},
       {{{.from = u"spam@x", .status = MSGSTATUS_REMOTE_DOWNLOAD, .headerOnly = true},
         "Deleted Items",
         -1,
         MSGSTATUS_HEADERONLY}}},
      {"known users", {{.from = u">> Known users <<", .moveTo = u"Friends"}},
       {{{.from = u"Ann <Ann@X>"}, "Inbox/Friends"}, {{.from = u"bob@x"}, "Inbox"}}, {u"ann@x"}},
      {"mark as read only", {{.subject = u"news", .markAsRead = true}},
       {{{.from = u"a@x", .subject = u"Daily NEWS"}, "Inbox", 1}}},
      {"age without the read condition: more than n minutes",
       {{.moveTo = u"Old", .olderThan = 5}},
       {{{.from = u"a@x", .delivered = SCENE_START_TIME - 6 * MINUTE}, "Inbox/Old"},
        {{.from = u"b@x", .delivered = SCENE_START_TIME - 5 * MINUTE}, "Inbox"}},
       {},
       {},
       3},
      {"the age comes due at the revisits: not before 6 minutes",
       {{.moveTo = u"Old", .olderThan = 5}},
       {{{.from = u"a@x", .delivered = SCENE_START_TIME - 4 * MINUTE}, "Inbox"}},
       {},
       {},
       23},
      {"the age comes due at the revisits: at 6 minutes",
       {{.moveTo = u"Old", .olderThan = 5}},
       {{{.from = u"a@x", .delivered = SCENE_START_TIME - 4 * MINUTE}, "Inbox/Old"}},
       {},
       {},
       24},
      {"the recipients from the headers take part",
       {{.to = u"team", .moveTo = u"Team"}},
       {{{.from = u"a@x", .text = "From: a@x\r\nCC: The Team <team@x>\r\n\r\nbody\r\n"}, "Inbox/Team"}}},
      {"size and attachments",
       {{.moveTo = u"Big", .sizeLimit = 10240}, {.moveTo = u"Files", .hasAttach = true}},
       {{{.from = u"a@x", .size = 10240}, "Inbox/Big"},
        {{.from = u"b@x", .size = 10239}, "Inbox"},
        {{.from = u"c@x", .size = 100, .attach = 1}, "Inbox/Files"},
        {{.from = u"d@x", .size = 100, .attach = 2}, "Inbox"}}},
  };
  for (const Scenario &s : scenarios) {
    run(s);
    closeSession();
    clearRules();
    clearKnownUsers();
    mem = std::make_unique<MemInstall>();
  }
}

TEST_F(ScenarioTest, Downloads)
{
  const ULONG partial = MSGSTATUS_HEADERONLY;
  const Scenario scenarios[] = {
      {"requested and awaited: no move while partial",
       {{.from = u"ann", .moveTo = u"Ann", .download = true}},
       {{{.from = u"ann@x", .size = 20480, .headerOnly = true}, "Inbox", 0, LONG(partial | MSGSTATUS_REMOTE_DOWNLOAD)}},
       {},
       {},
       2,
       50},
      {"beyond the size limit: not requested, moved at once",
       {{.from = u"ann", .moveTo = u"Ann", .download = true}},
       {{{.from = u"ann@x", .size = 20480, .headerOnly = true}, "Inbox/Ann", 0, LONG(partial)}},
       {},
       {},
       0,
       10},
      {"other download-state bits are cleared with the request",
       {{.from = u"ann", .download = true}},
       {{{.from = u"ann@x", .status = MSGSTATUS_PARTIAL_DOWNLOAD | MSGSTATUS_REMOTE_DOWNLOAD_HEADER, .headerOnly = true},
         "Inbox",
         -1,
         LONG(partial | MSGSTATUS_REMOTE_DOWNLOAD)}}},
      {"a read message whose download is requested becomes unread, then no longer matches",
       {{.isRead = true, .download = true}},
       {{{.from = u"ann@x", .read = true, .headerOnly = true}, "Inbox", 0, LONG(partial | MSGSTATUS_REMOTE_DOWNLOAD)}},
       {},
       {},
       2},
      {"the mark is withdrawn when the winner does not download",
       {{.from = u"ann", .markAsRead = true}},
       {{{.from = u"ann@x", .status = MSGSTATUS_REMOTE_DOWNLOAD, .headerOnly = true}, "Inbox", 1, LONG(partial)}}},
      {"a complete message keeps its mark",
       {{.from = u"ann", .markAsRead = true}},
       {{{.from = u"ann@x", .status = MSGSTATUS_REMOTE_DOWNLOAD}, "Inbox", 1, LONG(MSGSTATUS_REMOTE_DOWNLOAD)}}},
  };
  for (const Scenario &s : scenarios) {
    run(s);
    closeSession();
    clearRules();
    mem = std::make_unique<MemInstall>();
  }
}

TEST_F(ScenarioTest, CompletedDownloadIsThenMoved)
{
  MemStore *store = memAddStore(world(), u"Mail");
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x", .size = 20480, .headerOnly = true});
  addRule({.from = u"ann", .moveTo = u"Ann", .download = true, .playSound = u"ding.wav"});
  maxDownloadKB = 50;
  openSession();
  settle();
  EXPECT_EQ(where(m), "Inbox");
  EXPECT_EQ(statusOf(m), LONG(MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD));
  ULONG writes = memCallCount(world(), MapiCall::PropSetProps);
  for (int i = 0; i < 3; ++i)
    tick();
  EXPECT_EQ(memCallCount(world(), MapiCall::PropSetProps), writes) << "a marked message is not marked again";
  EXPECT_EQ(where(m), "Inbox");

  memCompleteDownload(m); // the store reports the full message; its notification refreshes the record
  settle();
  EXPECT_EQ(where(m), "Inbox/Ann");
  EXPECT_EQ(cachedRecords(watcherOf(u"Mail")), 0u);
  std::vector<ShellCall> sounds = shellTakeRecorded();
  ASSERT_EQ(sounds.size(), 2u) << "with the request, and with the move 15 s later";
  EXPECT_EQ(sounds[0].flags, SND_FILENAME | SND_ASYNC);
  EXPECT_EQ(sounds[0].path, "ding.wav");
}

TEST_F(ScenarioTest, DownloadCompletedAtOnceMovesByTheNextRevisit)
{
  MemStore *store = memAddStore(world(), u"Mail");
  memSetAutoDownload(world(), true);
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x", .headerOnly = true});
  addRule({.from = u"ann", .moveTo = u"Ann", .download = true});
  openSession();
  settle();
  // The completion's notification moves it, or, when it came while the
  // request was still in progress, leaves it refreshed for the revisit.
  tick();
  EXPECT_EQ(where(m), "Inbox/Ann");
}
