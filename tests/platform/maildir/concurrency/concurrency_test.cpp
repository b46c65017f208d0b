// Nothing is lost: deliveries while a session moves messages, and a mover
// killed at any moment, leave every message in exactly one folder, in the
// program's own layout and in Maildir++.
#include "tests/platform/maildir/provider_fixture.h"

#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/store_layout.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// How many files each unique name has below the store, and the tmp/ files.
struct Census {
  std::map<std::string, int> copies;             // unique name -> files
  std::map<std::string, std::string> folderOf;   // unique name -> folder directory
  int tmpFiles = 0;                              // files left in any tmp/
};

Census census(const fs::path &store)
{
  Census c;
  for (const auto &e : fs::recursive_directory_iterator(store)) {
    if (e.is_directory())
      continue;
    std::string dir = e.path().parent_path().filename().string();
    std::string name = e.path().filename().string();
    if (dir == "tmp") {
      ++c.tmpFiles;
    } else if ((dir == "cur" || dir == "new") && isMessageFileName(name)) {
      std::string unique(splitMaildirName(name).unique);
      ++c.copies[unique];
      c.folderOf[unique] = e.path().parent_path().parent_path().filename().string();
    }
  }
  return c;
}

// The store "Local" laid out in one layout: where its Inbox and its folder
// Work are, as folder paths and as the directory names a census sees.
class MaildirLayoutTest : public MaildirTest, public ::testing::WithParamInterface<StoreLayout> {
protected:
  void SetUp() override
  {
    MaildirTest::SetUp();
    fs::create_directories(mail());
    if (GetParam() == StoreLayout::MaildirPlusPlus)
      ASSERT_TRUE(ensureMaildir(mail() / "Local")); // the top Maildir makes it Maildir++
    else
      ASSERT_TRUE(makeOwnStore(mail() / "Local"));
  }
  bool plusPlus() const { return GetParam() == StoreLayout::MaildirPlusPlus; }
  std::vector<std::string> inboxPath() const
  {
    return plusPlus() ? std::vector<std::string>{} : std::vector<std::string>{"Inbox"};
  }
  std::string inboxDir() const { return plusPlus() ? "Local" : "Inbox"; }
  std::string workDir() const { return plusPlus() ? ".Work" : "Work"; }
};

TEST_P(MaildirLayoutTest, DeliveriesWhileMessagesAreMovedAllEndUpInOneFolder)
{
  constexpr int N = 120;
  std::vector<std::string> first;
  for (int i = 0; i < N; ++i)
    first.push_back(deliver(inboxPath(), mailText("first " + std::to_string(i))));
  logon();
  MapiEntryBytes inbox = folderIdOf("Local", inboxPath());
  MapiEntryBytes work;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Work", true, &work), S_OK);

  std::vector<std::string> second(N);
  std::thread deliverer([&] {
    for (int i = 0; i < N; ++i)
      second[i] = *deliverToStore(DeliveryTarget{mail(), root / "Transport", "Local", inboxPath()},
                                  mailText("second " + std::to_string(i)), false);
  });
  std::thread reader([&] {
    // Tables and properties read meanwhile, as a processing pass does.
    for (int round = 0; round < 20; ++round) {
      std::vector<MapiEntryBytes> ids;
      provider->listMessages(session, inbox, &ids);
      for (std::size_t i = 0; i < ids.size(); i += 17) {
        MapiValue v;
        provider->getProp(session, ids[i], PR_SUBJECT, &v);
        provider->getProp(session, ids[i], PR_MESSAGE_FLAGS, &v);
      }
    }
  });
  for (int i = 0; i < N; ++i) {
    MapiEntryBytes moved;
    MapiEntryBytes id = messageIdOf("Local", inboxPath(), first[i]);
    if (i % 3 == 0) {
      ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ)), S_OK);
    }
    ASSERT_EQ(provider->copyMessage(session, id, inbox, work, true, &moved), S_OK) << i;
  }
  deliverer.join();
  reader.join();

  Census c = census(mail() / "Local");
  EXPECT_EQ(c.copies.size(), 2u * N);
  EXPECT_EQ(c.tmpFiles, 0);
  for (const auto &[unique, n] : c.copies)
    EXPECT_EQ(n, 1) << unique;
  for (const std::string &u : first)
    EXPECT_EQ(c.folderOf[u], workDir()) << u;
  for (const std::string &u : second)
    EXPECT_EQ(c.folderOf[u], inboxDir()) << u;
  EXPECT_EQ(messages(inbox).size(), static_cast<std::size_t>(N));
  EXPECT_EQ(messages(work).size(), static_cast<std::size_t>(N));
}

// Moves messages between the Inbox and Work for ever, writing a byte to
// `progress` after each move. Runs in a child process until it is killed.
[[noreturn]] void moveForever(int progress, const std::vector<std::string> &inbox)
{
  MapiProvider *p = createMaildirProvider(MaildirOptions{false, false});
  void *s = nullptr;
  if (p->logon(p->backend, nullptr, &s) != S_OK)
    _exit(1);
  MapiEntryBytes folders[2] = {encodeMaildirId(folderId("Local", inbox)),
                               encodeMaildirId(folderId("Local", {"Work"}))};
  for (int round = 0;; ++round) {
    const MapiEntryBytes &from = folders[round % 2];
    const MapiEntryBytes &to = folders[(round + 1) % 2];
    std::vector<MapiEntryBytes> ids;
    p->listMessages(s, from, &ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      const MapiEntryBytes &id = ids[i];
      MapiEntryBytes moved;
      // Some carry a side entry, which moves with them.
      if (i % 4 == 0)
        p->setProp(s, id, mapiLong(PR_MSG_STATUS, round + 1));
      p->copyMessage(s, id, from, to, true, &moved);
      char b = 1;
      if (write(progress, &b, 1) != 1)
        _exit(1);
    }
  }
}

TEST_P(MaildirLayoutTest, AMoverKilledAtAnyMomentLeavesEachMessageInOneFolder)
{
  constexpr int N = 60;
  for (int i = 0; i < N; ++i)
    deliver(inboxPath(), mailText("m" + std::to_string(i)));
  ASSERT_TRUE(makeFolderDir(mail() / "Local", GetParam(), {"Work"}));
  // Kill the mover after a different number of moves each time.
  for (int kills : {3, 41, 61}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      moveForever(fds[1], inboxPath());
    }
    close(fds[1]);
    char buf[64];
    int seen = 0;
    while (seen < kills) {
      ssize_t n = read(fds[0], buf, std::min<std::size_t>(sizeof buf, kills - seen));
      ASSERT_GT(n, 0) << "the mover ended by itself";
      seen += static_cast<int>(n);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);

    Census c = census(mail() / "Local");
    EXPECT_EQ(c.copies.size(), static_cast<std::size_t>(N)) << kills;
    EXPECT_EQ(c.tmpFiles, 0) << kills;
    for (const auto &[unique, n] : c.copies)
      EXPECT_EQ(n, 1) << unique;
  }
  // A session afterwards reads every message and its side entry.
  logon();
  std::size_t total = messages(folderIdOf("Local", inboxPath())).size() +
                      messages(folderIdOf("Local", {"Work"})).size();
  EXPECT_EQ(total, static_cast<std::size_t>(N));
}

INSTANTIATE_TEST_SUITE_P(Layouts, MaildirLayoutTest,
                         ::testing::Values(StoreLayout::Own, StoreLayout::MaildirPlusPlus),
                         [](const auto &info) {
                           return info.param == StoreLayout::Own ? "Own" : "MaildirPlusPlus";
                         });

} // namespace
