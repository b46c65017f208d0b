// Trees, files and clients that do not play by the rules: links that loop,
// files that never end or are not files, what a crash leaves in tmp/.
#include "platform/maildir/maildir_name.h"
#include "tests/platform/maildir/provider_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST_F(MaildirTest, LinksBelowAStoreAreNotFoldersSoLoopsEndTheWalk)
{
  fs::path inbox = mail() / "Local" / "Inbox";
  fs::create_directories(inbox / "Work" / "cur");
  fs::create_symlink("..", inbox / "up");
  fs::create_symlink(".", inbox / "self");
  fs::create_symlink("../Inbox", inbox / "Work" / "back");
  putFile(inbox / "Work" / "cur" / "1700000001.M1P1.host:2,", mailText("once"));
  logon();
  std::vector<MapiEntryBytes> below;
  ASSERT_EQ(provider->listFolders(session, folderIdOf("Local", {"Inbox"}), &below), S_OK);
  EXPECT_EQ(below, std::vector<MapiEntryBytes>{folderIdOf("Local", {"Inbox", "Work"})});
  ASSERT_EQ(provider->listFolders(session, folderIdOf("Local", {"Inbox", "Work"}), &below), S_OK);
  EXPECT_TRUE(below.empty());
  // A folder made where a link stands is refused, not opened through it.
  MapiEntryBytes made;
  EXPECT_EQ(provider->createFolder(session, folderIdOf("Local", {"Inbox"}), u"up", true, &made),
            MAPI_E_COLLISION);
  // The watched tree is the real one: a delivery into the subfolder is seen once.
  std::string u = deliver({"Inbox", "Work"}, mailText("new"));
  auto created = eventIs(fnevObjectCreated, messageIdOf("Local", {"Inbox", "Work"}, u));
  ASSERT_TRUE(log.waitFor(created));
  EXPECT_EQ(log.count([](const MapiEvent &e) { return e.eventType == fnevObjectCreated; }), 1);
}

TEST_F(MaildirTest, MessagesThatAreNotFilesAreNeverReadAndSaidOnce)
{
  fs::path inbox = mail() / "Local" / "Inbox";
  putFile(inbox / "cur" / "1700000001.M1P1.host:2,", mailText("sound"));
  fs::create_directories(inbox / "new");
  fs::create_symlink("/proc/self/pagemap", inbox / "cur" / "1700000002.M2P2.host:2,");
  fs::create_symlink("/dev/zero", inbox / "new" / "1700000003.M3P3.host");
  ASSERT_EQ(mkfifo((inbox / "new" / "1700000004.M4P4.host").c_str(), 0600), 0);
  logon();
  testing::internal::CaptureStderr();
  for (int round = 0; round < 3; ++round)
    for (const char *unique : {"1700000002.M2P2.host", "1700000003.M3P3.host", "1700000004.M4P4.host"}) {
      MapiValue v;
      EXPECT_NE(get(messageIdOf("Local", {"Inbox"}, unique), PR_SUBJECT, &v), S_OK) << unique;
      std::string text;
      EXPECT_NE(provider->readStream(session, messageIdOf("Local", {"Inbox"}, unique), PR_CE_MIME_TEXT, &text),
                S_OK);
    }
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(getText(messageIdOf("Local", {"Inbox"}, "1700000001.M1P1.host"), PR_SUBJECT), u"sound");
  // Each is said to be unreadable once, however often it is asked for.
  for (const char *name : {"1700000002.M2P2.host:2,", "1700000003.M3P3.host", "1700000004.M4P4.host"}) {
    std::size_t at = said.find(name);
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_EQ(said.find(name, at + 1), std::string::npos) << said;
  }
}

TEST_F(MaildirTest, LookupsStayCheapWhileAClientRenamesEveryMessage)
{
  constexpr int COUNT = 1000;
  fs::path inbox = mail() / "Local" / "Inbox";
  std::vector<std::string> uniques;
  for (int i = 0; i < COUNT; ++i) {
    uniques.push_back(std::to_string(1700000000 + i) + ".M" + std::to_string(i) + ".client");
    putFile(inbox / "new" / uniques.back(), mailText("bulk"));
  }
  fs::create_directories(inbox / "cur");
  logon();
  std::uint64_t before = messageListings();
  for (const std::string &u : uniques) {
    // The client looks at the message just before the lookup.
    fs::rename(inbox / "new" / u, inbox / "cur" / (u + ":2,S"));
    EXPECT_EQ(getLong(messageIdOf("Local", {"Inbox"}, u), PR_MESSAGE_FLAGS), MSGFLAG_READ) << u;
  }
  // The renames' own events kept the index current: no folder read whole per lookup.
  EXPECT_LT(messageListings() - before, 10u);
  // A message that is really gone is looked for once, not once per lookup.
  fs::remove(inbox / "cur" / (uniques[0] + ":2,S"));
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectDeleted, messageIdOf("Local", {"Inbox"}, uniques[0]))));
  before = messageListings();
  MapiValue v;
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(get(messageIdOf("Local", {"Inbox"}, uniques[0]), PR_MESSAGE_FLAGS, &v), MAPI_E_NOT_FOUND);
  EXPECT_LE(messageListings() - before, 1u);
}

TEST_F(MaildirTest, LookupsOfMovedMessagesStayCheapWhileTheirMovesBringEvents)
{
  // The program sorts while a client renames: its notifications ask for
  // messages that its own moves took away, and every move's echo is a new
  // event. Such a lookup once read the folder whole each time.
  constexpr int COUNT = 600;
  fs::path inbox = mail() / "Local" / "Inbox";
  std::vector<std::string> uniques;
  for (int i = 0; i < COUNT; ++i) {
    uniques.push_back(std::to_string(1700000000 + i) + ".M" + std::to_string(i) + ".client");
    putFile(inbox / "new" / uniques.back(), mailText("bulk"));
  }
  fs::create_directories(inbox / "cur");
  logon();
  MapiEntryBytes bills;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Bills", true, &bills), S_OK);
  std::uint64_t before = messageListings();
  MapiValue v;
  for (int i = 0; i < COUNT; ++i) {
    if (i + 1 < COUNT)
      fs::rename(inbox / "new" / uniques[i + 1], inbox / "cur" / (uniques[i + 1] + ":2,S"));
    MapiEntryBytes moved;
    ASSERT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Inbox"}, uniques[i]),
                                    folderIdOf("Local", {"Inbox"}), bills, true, &moved),
              S_OK)
        << uniques[i];
    EXPECT_EQ(get(messageIdOf("Local", {"Inbox"}, uniques[i]), PR_MESSAGE_FLAGS, &v), MAPI_E_NOT_FOUND);
  }
  EXPECT_LT(messageListings() - before, 10u);
  EXPECT_EQ(filesBelow(inbox / "cur").size() + filesBelow(inbox / "new").size(), 0u);
  EXPECT_EQ(filesBelow(mail() / "Local" / "Bills" / "cur").size(), std::size_t{COUNT});
}

TEST_F(MaildirTest, AMoveAcrossFileSystemsCutShortLosesNothingAndLeavesNoCopyBehind)
{
  // A second store on another file system: a link to a mail tree in tmpfs.
  struct stat here = {}, shm = {};
  if (stat(root.c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string pattern = "/dev/shm/qm-store-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  struct Removed {
    fs::path p;
    ~Removed() { fs::remove_all(p); }
  } other{pattern};
  ASSERT_TRUE(ensureMaildir(other.p / "Inbox"));
  ASSERT_TRUE(ensureMaildir(other.p / "Bills"));
  fs::create_directories(mail());
  fs::create_directory_symlink(other.p, mail() / "Other");
  fs::path bills = other.p / "Bills";

  std::map<std::string, std::string> texts;
  for (const char *subject : {"cut while copying", "cut after the copy", "not cut"})
    texts[deliver({"Inbox"}, mailText(subject))] = mailText(subject);
  auto original = [&](const char *subject) {
    for (const auto &[u, t] : texts)
      if (t == mailText(subject))
        return u;
    return std::string();
  };
  // What a mover killed midway leaves: half a copy in the destination's tmp/,
  // written by a process that is gone; or the whole copy in its cur/ under
  // the message's unique name, the original not yet removed.
  pid_t writer = fork();
  if (writer == 0)
    _exit(writeTmpFile(bills, makeUniqueName(), mailText("cut while copying").substr(0, 20), std::nullopt) ? 0 : 1);
  int status = 0;
  waitpid(writer, &status, 0);
  ASSERT_EQ(status, 0);
  putFile(bills / "cur" / (original("cut after the copy") + ":2,"), mailText("cut after the copy"));

  logon(); // the next start
  EXPECT_TRUE(filesBelow(bills / "tmp").empty());
  // The rule moves each message again.
  for (const auto &[u, t] : texts) {
    MapiEntryBytes moved;
    EXPECT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Inbox"}, u), folderIdOf("Local", {"Inbox"}),
                                    folderIdOf("Other", {"Bills"}), true, &moved),
              S_OK)
        << t;
    EXPECT_EQ(moved, messageIdOf("Other", {"Bills"}, u)) << t;
  }
  // Each message once, whole, in the destination; nothing left behind.
  fs::path inbox = mail() / "Local" / "Inbox";
  EXPECT_TRUE(filesBelow(inbox / "cur").empty());
  EXPECT_TRUE(filesBelow(inbox / "new").empty());
  EXPECT_TRUE(filesBelow(bills / "tmp").empty());
  std::vector<std::string> there = filesBelow(bills / "cur");
  ASSERT_EQ(there.size(), texts.size());
  for (const std::string &name : there) {
    std::string u(splitMaildirName(name).unique);
    ASSERT_TRUE(texts.count(u)) << name;
    EXPECT_EQ(readWholeFile(bills / "cur" / name), texts[u]) << name;
  }
}

TEST_F(MaildirTest, WhatACrashLeftInTmpIsCleanedWhenTheFolderIsWatched)
{
  fs::path tmp = mail() / "Local" / "Inbox" / "tmp";
  fs::create_directories(tmp);
  pid_t gone = fork();
  if (gone == 0)
    _exit(0);
  waitpid(gone, nullptr, 0);
  // Names as this host's writers make them, with the writer's process id.
  auto nameOf = [](pid_t pid) {
    std::string u = makeUniqueName();
    std::size_t p = u.find('P'), q = u.find('Q');
    return u.substr(0, p + 1) + std::to_string(pid) + u.substr(q);
  };
  std::string crashed = nameOf(gone), running = nameOf(getpid());
  putFile(tmp / crashed, "cut cop");
  putFile(tmp / running, "being written");
  putFile(tmp / "other-program.fresh", "being written");
  putFile(tmp / "other-program.old", "left long ago");
  fs::last_write_time(tmp / "other-program.old", fs::file_time_type::clock::now() - std::chrono::hours(37));
  logon();
  EXPECT_EQ(filesBelow(tmp), (std::vector<std::string>{running, "other-program.fresh"}));
}
