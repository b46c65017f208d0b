// What the provider posts when a store changes: delivery, flag changes,
// moves, deletions, new folders, side file changes; by other programs or by
// the session itself (then once).
#include "tests/platform/maildir/provider_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace fs = std::filesystem;

namespace {

class MaildirNotifyTest : public MaildirTest {
protected:
  void SetUp() override
  {
    MaildirTest::SetUp();
    logon();
  }

  // Waits for an event about `id`; true when it came.
  bool waitEvent(ULONG type, const MapiEntryBytes &id) { return log.waitFor(eventIs(type, id)); }

  MapiEvent eventOf(ULONG type, const MapiEntryBytes &id)
  {
    std::lock_guard<std::mutex> g(log.lock);
    for (const MapiEvent &e : log.events)
      if (e.eventType == type && e.id == id)
        return e;
    return {};
  }

  // A change of another program whose event marks that everything before
  // it has been posted: the watcher reports in the order of the changes.
  void settle()
  {
    std::string u = deliver({"Drafts"}, mailText("marker"));
    ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Drafts"}, u)));
  }

  MapiEntryBytes inbox = folderIdOf("Local", {"Inbox"});
};

TEST_F(MaildirNotifyTest, DeliveryIntoTheInboxIsCreatedAndNewMail)
{
  std::string u = deliver({"Inbox"}, mailText("hello"));
  MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, id));
  ASSERT_TRUE(waitEvent(fnevNewMail, id));
  MapiEvent created = eventOf(fnevObjectCreated, id);
  EXPECT_EQ(created.objType, MAPI_MESSAGE);
  EXPECT_EQ(created.parent, inbox);
  EXPECT_EQ(created.store, encodeMaildirId(storeId("Local")));
  MapiEvent mail = eventOf(fnevNewMail, id);
  EXPECT_EQ(mail.parent, inbox);
  EXPECT_EQ(mail.messageFlags, 0u);
  // Delivery elsewhere is created without new mail.
  std::string other = deliver({"Sent Items"}, mailText("sent"));
  MapiEntryBytes otherId = messageIdOf("Local", {"Sent Items"}, other);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, otherId));
  settle();
  EXPECT_EQ(log.count(eventIs(fnevNewMail, otherId)), 0);
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, id)), 1);
}

TEST_F(MaildirNotifyTest, AnotherProgramsFlagChangeIsAModification)
{
  std::string u = deliver({"Inbox"}, mailText("read me"));
  MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, id));
  fs::path dir = mail() / "Local" / "Inbox";
  ASSERT_EQ(std::rename((dir / "new" / u).c_str(), (dir / "cur" / (u + ":2,S")).c_str()), 0);
  ASSERT_TRUE(waitEvent(fnevObjectModified, id));
  EXPECT_EQ(eventOf(fnevObjectModified, id).parent, inbox);
  EXPECT_EQ(getLong(id, PR_MESSAGE_FLAGS), MSGFLAG_READ);
}

TEST_F(MaildirNotifyTest, MessagesMovedInAndOut)
{
  MapiEntryBytes work;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Work", true, &work), S_OK);
  std::string u = deliver({"Inbox"}, mailText("travels"));
  MapiEntryBytes inInbox = messageIdOf("Local", {"Inbox"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, inInbox));
  fs::path local = mail() / "Local";

  // Out of the Inbox into Work, by another program.
  ASSERT_EQ(std::rename((local / "Inbox" / "new" / u).c_str(),
                        (local / "Work" / "cur" / (u + ":2,")).c_str()),
            0);
  MapiEntryBytes inWork = messageIdOf("Local", {"Work"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectMoved, inWork));
  MapiEvent moved = eventOf(fnevObjectMoved, inWork);
  EXPECT_EQ(moved.objType, MAPI_MESSAGE);
  EXPECT_EQ(moved.parent, work);
  EXPECT_EQ(moved.oldId, inInbox);
  EXPECT_EQ(moved.oldParent, inbox);

  // Back into the Inbox: judged by its new parent.
  ASSERT_EQ(std::rename((local / "Work" / "cur" / (u + ":2,")).c_str(),
                        (local / "Inbox" / "cur" / (u + ":2,S")).c_str()),
            0);
  ASSERT_TRUE(waitEvent(fnevObjectMoved, inInbox));
  EXPECT_EQ(eventOf(fnevObjectMoved, inInbox).parent, inbox);

  // Out of the stores altogether: deleted. In from outside: created.
  TempDir outside;
  ASSERT_EQ(std::rename((local / "Inbox" / "cur" / (u + ":2,S")).c_str(),
                        (outside.path / "x").c_str()),
            0);
  ASSERT_TRUE(waitEvent(fnevObjectDeleted, inInbox));
  EXPECT_EQ(eventOf(fnevObjectDeleted, inInbox).parent, inbox);
  ASSERT_EQ(std::rename((outside.path / "x").c_str(), (local / "Work" / "new" / "1.M1P1.h").c_str()), 0);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Work"}, "1.M1P1.h")));
  // Removed: deleted.
  fs::remove(local / "Work" / "new" / "1.M1P1.h");
  ASSERT_TRUE(waitEvent(fnevObjectDeleted, messageIdOf("Local", {"Work"}, "1.M1P1.h")));
}

TEST_F(MaildirNotifyTest, FoldersMadeMovedAndRemovedByAnotherProgram)
{
  fs::path local = mail() / "Local";
  fs::create_directories(local / "Inbox" / "Lists" / "cur");
  fs::create_directories(local / "Inbox" / "Lists" / "new");
  fs::create_directories(local / "Inbox" / "Lists" / "tmp");
  MapiEntryBytes lists = folderIdOf("Local", {"Inbox", "Lists"});
  ASSERT_TRUE(waitEvent(fnevObjectCreated, lists));
  MapiEvent created = eventOf(fnevObjectCreated, lists);
  EXPECT_EQ(created.objType, MAPI_FOLDER);
  EXPECT_EQ(created.parent, inbox);
  // The new folder is watched at once.
  std::string u = deliver({"Inbox", "Lists"}, mailText("list mail"));
  ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Inbox", "Lists"}, u)));

  fs::rename(local / "Inbox" / "Lists", local / "Lists");
  MapiEntryBytes top = folderIdOf("Local", {"Lists"});
  ASSERT_TRUE(waitEvent(fnevObjectMoved, top));
  EXPECT_EQ(eventOf(fnevObjectMoved, top).oldId, lists);
  EXPECT_EQ(eventOf(fnevObjectMoved, top).parent, folderIdOf("Local", {}));

  fs::remove_all(local / "Lists");
  ASSERT_TRUE(waitEvent(fnevObjectDeleted, top));

  // A folder that comes with messages brings them to the store's notice too.
  TempDir outside;
  fs::path copied = outside.path / "Old";
  for (const char *sub : {"cur", "new", "tmp"})
    fs::create_directories(copied / sub);
  std::ofstream(copied / "cur" / "1600000000.M1P1.old:2,S") << mailText("old mail");
  fs::rename(copied, local / "Old");
  ASSERT_TRUE(waitEvent(fnevObjectCreated, folderIdOf("Local", {"Old"})));
  ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Old"}, "1600000000.M1P1.old")));
}

TEST_F(MaildirNotifyTest, TheMailRootRemovedOrMovedAwayIsWatchedAgainWhenItIsBack)
{
  MapiObjectInfo info;
  // Waits until the session knows the mail root is gone: its Inbox is found
  // no more (looking makes nothing).
  auto untilGone = [&] {
    const auto end = std::chrono::steady_clock::now() + EventLog::WAIT;
    while (provider->locate(session, inbox, &info) == S_OK && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return provider->locate(session, inbox, &info) == MAPI_E_NOT_FOUND;
  };
  testing::internal::CaptureStderr();
  std::string before = deliver({"Inbox"}, mailText("before"));
  ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Inbox"}, before)));

  fs::remove_all(mail());
  ASSERT_TRUE(waitEvent(fnevObjectDeleted, messageIdOf("Local", {"Inbox"}, before)));
  ASSERT_TRUE(untilGone());
  std::vector<MapiEntryBytes> stores;
  ASSERT_EQ(provider->listStores(session, &stores), S_OK);
  EXPECT_TRUE(stores.empty());
  EXPECT_FALSE(fs::exists(mail())); // the session makes nothing in its place, listing the stores neither
  // Made again (a store restored in one rename): watched again.
  for (const char *folder : {"Inbox", "Drafts"}) {
    fs::create_directories(root / "Mail.new" / "Local" / folder);
    ASSERT_TRUE(ensureMaildir(root / "Mail.new" / "Local" / folder));
  }
  fs::rename(root / "Mail.new", mail());
  std::string after = deliver({"Inbox"}, mailText("after"));
  ASSERT_TRUE(waitEvent(fnevNewMail, messageIdOf("Local", {"Inbox"}, after)));

  // Moved away, filled there, and moved back: the watches did not follow it
  // away, and what it brought back is announced once.
  fs::rename(mail(), root / "Mail.away");
  ASSERT_TRUE(untilGone());
  putFile(root / "Mail.away" / "Local" / "Inbox" / "new" / "1700000001.M1P1.away", mailText("away"));
  fs::rename(root / "Mail.away", mail());
  MapiEntryBytes away = messageIdOf("Local", {"Inbox"}, "1700000001.M1P1.away");
  ASSERT_TRUE(waitEvent(fnevNewMail, away));
  settle();
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, away)), 1);
  EXPECT_EQ(getText(away, PR_SUBJECT), u"away");
  std::string later = deliver({"Inbox"}, mailText("later"));
  ASSERT_TRUE(waitEvent(fnevObjectCreated, messageIdOf("Local", {"Inbox"}, later)));

  // Said once per removal, and once per return.
  std::string said = testing::internal::GetCapturedStderr();
  auto count = [&](const std::string &what) {
    int n = 0;
    for (std::size_t at = said.find(what); at != std::string::npos; at = said.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("Mail was removed"), 2) << said;
  EXPECT_EQ(count("Mail is there"), 2) << said;
}

TEST_F(MaildirNotifyTest, AStoreMadeDirectoryByDirectoryIsRecognisedByItsFirstFolder)
{
  // Another program makes a store of the program's own layout, its top
  // Maildir first, as a copy may: the session sees it half made, a reader
  // asks for its Inbox meanwhile, then its Inbox comes.
  fs::path other = mail() / "Other";
  ASSERT_TRUE(ensureMaildir((fs::create_directories(other), other)));
  settle();
  MapiEntryBytes receive;
  ASSERT_EQ(provider->receiveFolder(session, encodeMaildirId(storeId("Other")), u"", &receive), S_OK);
  ASSERT_TRUE(ensureMaildir(other / "Inbox"));
  ASSERT_TRUE(waitEvent(fnevObjectCreated, folderIdOf("Other", {"Inbox"})));
  auto u = deliverToStore(DeliveryTarget{mail(), root / "Transport", "Other", {"Inbox"}}, mailText("first"), false);
  ASSERT_TRUE(u);
  EXPECT_TRUE(waitEvent(fnevNewMail, messageIdOf("Other", {"Inbox"}, *u)));
  ASSERT_EQ(provider->receiveFolder(session, encodeMaildirId(storeId("Other")), u"", &receive), S_OK);
  EXPECT_EQ(receive, folderIdOf("Other", {"Inbox"}));
  // Recognised, it keeps its layout while watched, whatever comes later.
  fs::create_directories(other / ".Work" / "cur");
  settle();
  ASSERT_EQ(provider->receiveFolder(session, encodeMaildirId(storeId("Other")), u"", &receive), S_OK);
  EXPECT_EQ(receive, folderIdOf("Other", {"Inbox"}));
}

TEST_F(MaildirNotifyTest, AStoreLinkedIntoMailIsWatchedUntilItsLinkGoes)
{
  // A mail tree elsewhere, with a message, linked in as store "Home".
  fs::path tree = root / "Elsewhere";
  fs::create_directories(tree);
  ASSERT_TRUE(ensureMaildir(tree / "Inbox"));
  putFile(tree / "Inbox" / "new" / "1700000001.M1P1.there", mailText("there"));
  fs::create_directory_symlink(tree, mail() / "Home");
  MapiEntryBytes there = messageIdOf("Home", {"Inbox"}, "1700000001.M1P1.there");
  ASSERT_TRUE(waitEvent(fnevNewMail, there)) << "announced as a store that appears";
  auto u = deliverToStore(DeliveryTarget{mail(), root / "Transport", "Home", {"Inbox"}}, mailText("later"), false);
  ASSERT_TRUE(u);
  EXPECT_TRUE(waitEvent(fnevNewMail, messageIdOf("Home", {"Inbox"}, *u))) << "and watched";

  fs::remove(mail() / "Home");
  MapiEntryBytes homeInbox = folderIdOf("Home", {"Inbox"});
  MapiObjectInfo info;
  for (int i = 0; i < 500 && provider->locate(session, homeInbox, &info) == S_OK; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(provider->locate(session, homeInbox, &info), MAPI_E_NOT_FOUND) << "the link gone, the store is";
  putFile(tree / "Inbox" / "new" / "1700000002.M2P2.there", mailText("unseen"));
  settle();
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, messageIdOf("Home", {"Inbox"}, "1700000002.M2P2.there"))), 0);
}

TEST_F(MaildirNotifyTest, AStoreLinkPointedElsewhereIsTheTreeItLeadsToNow)
{
  // "Home" leads to one tree, then to another: replaced in one rename (as
  // `ln -sfn` does), then removed and made again.
  auto tree = [&](const std::string &name, const std::string &unique) {
    fs::path t = root / name;
    fs::create_directories(t);
    EXPECT_TRUE(ensureMaildir(t / "Inbox"));
    putFile(t / "Inbox" / "new" / unique, mailText(name));
    return t;
  };
  fs::path first = tree("First", "1700000001.M1P1.first");
  fs::path second = tree("Second", "1700000002.M2P2.second");
  fs::path third = tree("Third", "1700000003.M3P3.third");
  fs::create_directory_symlink(first, mail() / "Home");
  ASSERT_TRUE(waitEvent(fnevNewMail, messageIdOf("Home", {"Inbox"}, "1700000001.M1P1.first")));

  fs::create_directory_symlink(second, mail() / ".Home.new");
  fs::rename(mail() / ".Home.new", mail() / "Home");
  EXPECT_TRUE(waitEvent(fnevNewMail, messageIdOf("Home", {"Inbox"}, "1700000002.M2P2.second")))
      << "the messages of the tree it leads to now are announced";
  putFile(second / "Inbox" / "new" / "1700000004.M4P4.second", mailText("later"));
  EXPECT_TRUE(waitEvent(fnevNewMail, messageIdOf("Home", {"Inbox"}, "1700000004.M4P4.second")))
      << "and that tree is watched";

  fs::remove(mail() / "Home");
  fs::create_directory_symlink(third, mail() / "Home");
  EXPECT_TRUE(waitEvent(fnevNewMail, messageIdOf("Home", {"Inbox"}, "1700000003.M3P3.third")));

  putFile(first / "Inbox" / "new" / "1700000005.M5P5.first", mailText("unseen"));
  putFile(second / "Inbox" / "new" / "1700000006.M6P6.second", mailText("unseen"));
  settle();
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, messageIdOf("Home", {"Inbox"}, "1700000005.M5P5.first"))), 0)
      << "the trees it left are no longer watched";
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, messageIdOf("Home", {"Inbox"}, "1700000006.M6P6.second"))), 0);
  MapiObjectInfo info;
  EXPECT_EQ(provider->locate(session, messageIdOf("Home", {"Inbox"}, "1700000002.M2P2.second"), &info),
            MAPI_E_NOT_FOUND);
  EXPECT_EQ(provider->locate(session, messageIdOf("Home", {"Inbox"}, "1700000003.M3P3.third"), &info), S_OK);
}

TEST_F(MaildirNotifyTest, TheSessionsOwnChangesArePostedOnce)
{
  std::string u = deliver({"Inbox"}, mailText("mine"));
  MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, id));
  log.clear();

  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ)), S_OK);
  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MSG_STATUS, 0x40)), S_OK);
  MapiEntryBytes archive;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Archive", true, &archive), S_OK);
  MapiEntryBytes moved;
  ASSERT_EQ(provider->copyMessage(session, id, inbox, archive, true, &moved), S_OK);
  // Posted before the calls returned.
  EXPECT_EQ(log.count(eventIs(fnevObjectModified, id)), 2);
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, archive)), 1);
  EXPECT_EQ(log.count(eventIs(fnevObjectMoved, moved)), 1);
  settle();
  EXPECT_EQ(log.count(eventIs(fnevObjectModified, id)), 2);
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, archive)), 1);
  EXPECT_EQ(log.count(eventIs(fnevObjectMoved, moved)), 1);
  EXPECT_EQ(log.count([](const MapiEvent &e) { return e.eventType == fnevObjectDeleted; }), 0);
}

TEST_F(MaildirNotifyTest, AnotherSessionsSideFileChangeIsAModification)
{
  std::string u = deliver({"Inbox"}, mailText("status"));
  MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, u);
  ASSERT_TRUE(waitEvent(fnevObjectCreated, id));
  MapiProvider *other = createMaildirProvider(MaildirOptions{false, false});
  void *otherSession = nullptr;
  ASSERT_EQ(other->logon(other->backend, &sink, &otherSession), S_OK);
  ASSERT_EQ(other->setProp(otherSession, id, mapiText(PR_DISPLAY_TO, u"carol@example.org")), S_OK);
  other->logoff(otherSession);
  destroyMaildirProvider(other);
  // Both the other session's own event and this session's from the watcher.
  ASSERT_TRUE(log.waitUntil([&](const std::vector<MapiEvent> &events) {
    return EventLog::countIn(events, eventIs(fnevObjectModified, id)) >= 2;
  }));
  settle();
  EXPECT_EQ(log.count(eventIs(fnevObjectModified, id)), 2);
  EXPECT_EQ(getText(id, PR_DISPLAY_TO), u"carol@example.org");
}

} // namespace

namespace {

// Another program's changes to a Maildir++ store, as the provider posts them.
TEST_F(MaildirTest, AMaildirPlusPlusStoreChangedByAnotherProgram)
{
  fs::path home = mail() / "Home";
  for (const char *dir : {"", ".Work", ".Work.Sub"})
    for (const char *sub : {"cur", "new", "tmp"})
      fs::create_directories(home / dir / sub);
  logon();
  MapiEntryBytes inbox = folderIdOf("Home", {});
  auto deliverTo = [&](std::vector<std::string> folder) {
    auto u = deliverToStore(DeliveryTarget{mail(), root / "Transport", "Home", folder}, mailText("m"), false);
    EXPECT_TRUE(u);
    return u ? *u : std::string();
  };

  // Mail delivered to the top Maildir is new mail in the Inbox.
  std::string u = deliverTo({});
  ASSERT_TRUE(log.waitFor(eventIs(fnevNewMail, messageIdOf("Home", {}, u))));

  // A folder made the way Maildir programs make it: the directory first.
  fs::create_directories(home / ".Later");
  for (const char *sub : {"cur", "new", "tmp"})
    fs::create_directories(home / ".Later" / sub);
  MapiEntryBytes later = folderIdOf("Home", {"Later"});
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectCreated, later)));
  EXPECT_EQ(log.count(eventIs(fnevObjectCreated, folderIdOf("Home", {"Later", "cur"}))), 0);

  // A message moved by a client from the Inbox into it. A move that lands
  // before the new folder's cur/ is watched cannot be paired: it shows as
  // the Inbox's message deleted and the folder's created.
  fs::rename(home / "new" / u, home / ".Later" / "cur" / (u + ":2,S"));
  MapiEntryBytes moved = messageIdOf("Home", {"Later"}, u);
  MapiEntryBytes old = messageIdOf("Home", {}, u);
  ASSERT_TRUE(log.waitUntil([&](const std::vector<MapiEvent> &events) {
    bool paired = EventLog::countIn(events, [&](const MapiEvent &e) {
      return e.eventType == fnevObjectMoved && e.id == moved && e.oldId == old && e.oldParent == inbox &&
             e.parent == later;
    });
    return paired || (EventLog::countIn(events, eventIs(fnevObjectDeleted, old)) &&
                      EventLog::countIn(events, eventIs(fnevObjectCreated, moved)));
  }));

  // Renamed, then removed.
  fs::rename(home / ".Later", home / ".Soon");
  ASSERT_TRUE(log.waitFor([&](const MapiEvent &e) {
    return e.eventType == fnevObjectMoved && e.id == folderIdOf("Home", {"Soon"}) && e.oldId == later;
  }));
  fs::remove_all(home / ".Soon");
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectDeleted, folderIdOf("Home", {"Soon"}))));

  // A level's directory goes; the folder below it is a directory of its own and stays watched.
  fs::remove_all(home / ".Work");
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectDeleted, folderIdOf("Home", {"Work"}))));
  std::string v = deliverTo({"Work", "Sub"});
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectCreated, messageIdOf("Home", {"Work", "Sub"}, v))));
  EXPECT_EQ(log.count(eventIs(fnevObjectDeleted, folderIdOf("Home", {"Work", "Sub"}))), 0);
}

} // namespace
