// Header-only messages and the transport that completes their download; the
// side file that holds what a Maildir file name cannot.
#include "provider_fixture.h"

#include <gtest/gtest.h>

#include "platform/clock/clock.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <set>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string FULL_TEXT =
    "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: big\r\n"
    "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nbody\r\n"
    "--b\r\nContent-Type: image/png\r\n\r\n" +
    std::string(20000, 'x') + "\r\n--b--\r\n";

class MaildirTransportTest : public MaildirTest {
protected:
  void TearDown() override
  {
    MaildirTest::TearDown();
    unsetenv("QUILLMARSH_TRANSPORT");
  }

  // Delivers FULL_TEXT header-only into the Inbox (delivered long ago).
  MapiEntryBytes deliverHeaderOnly()
  {
    unique = deliver({"Inbox"}, FULL_TEXT, true, {std::nullopt, 1500000000, std::nullopt});
    return messageIdOf("Local", {"Inbox"}, unique);
  }

  fs::path transportText() const { return root / "Transport" / "Local" / unique; }

  std::string unique; // the header-only message's unique name
};

TEST_F(MaildirTransportTest, AHeaderOnlyMessageShowsItsWholeSizeAndOnlyItsHeader)
{
  MapiEntryBytes id = deliverHeaderOnly();
  logon();
  EXPECT_EQ(static_cast<ULONG>(getLong(id, PR_MSG_STATUS)), MSGSTATUS_HEADERONLY);
  EXPECT_EQ(getLong(id, PR_CE_MESSAGE_SIZE), static_cast<LONG>(FULL_TEXT.size()));
  MapiValue v;
  ASSERT_EQ(get(id, PR_HASATTACH, &v), S_OK);
  EXPECT_EQ(v.l, 1);
  EXPECT_EQ(getText(id, PR_SUBJECT), u"big");
  std::string stream;
  ASSERT_EQ(provider->readStream(session, id, PR_CE_MIME_TEXT, &stream), S_OK);
  EXPECT_EQ(stream, FULL_TEXT.substr(0, FULL_TEXT.find("\r\n\r\n") + 4));
  // The Maildir itself holds only the header file; the full text is outside it.
  EXPECT_EQ(filesBelow(mail() / "Local" / "Inbox"), std::vector<std::string>{"new/" + unique});
}

TEST_F(MaildirTransportTest, AMarkIsCompletedByTheTransportAndReportedAsAModification)
{
  MapiEntryBytes id = deliverHeaderOnly();
  logon();
  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ)), S_OK);
  log.clear();
  ASSERT_EQ(provider->setProp(session, id,
                              mapiLong(PR_MSG_STATUS, MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD)),
            S_OK);
  // One modification for the mark, one when the transport has finished.
  ASSERT_TRUE(log.waitUntil([&](const std::vector<MapiEvent> &events) {
    return EventLog::countIn(events, eventIs(fnevObjectModified, id)) >= 2;
  }));
  EXPECT_EQ(getLong(id, PR_MSG_STATUS), 0);
  fs::path file = mail() / "Local" / "Inbox" / "cur" / (unique + ":2,S"); // flags kept
  EXPECT_EQ(*readWholeFile(file), FULL_TEXT);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1500000000); // the delivery time stays
  EXPECT_FALSE(fs::exists(transportText()));
  // No side file, temporary file or second copy is left.
  EXPECT_EQ(filesBelow(mail() / "Local" / "Inbox"), std::vector<std::string>{"cur/" + unique + ":2,S"});
  EXPECT_EQ(getLong(id, PR_CE_MESSAGE_SIZE), static_cast<LONG>(FULL_TEXT.size()));
}

TEST_F(MaildirTransportTest, HeldMarksWaitForTheStoreToolAndAWithdrawnMarkIsNotCompleted)
{
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  MapiEntryBytes id = deliverHeaderOnly();
  std::string other = deliver({"Inbox"}, FULL_TEXT, true);
  MapiEntryBytes otherId = messageIdOf("Local", {"Inbox"}, other);
  logon();
  unsetenv("QUILLMARSH_TRANSPORT");
  const LONG marked = MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD;
  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MSG_STATUS, marked)), S_OK);
  ASSERT_EQ(provider->setProp(session, otherId, mapiLong(PR_MSG_STATUS, marked)), S_OK);
  ASSERT_EQ(provider->setProp(session, otherId, mapiLong(PR_MSG_STATUS, MSGSTATUS_HEADERONLY)), S_OK);
  EXPECT_EQ(getLong(id, PR_MSG_STATUS), marked);

  auto pending = listPendingDownloads(mail(), root / "Transport");
  ASSERT_EQ(pending.size(), 2u);
  log.clear();
  auto done = completeDownloads(mail(), root / "Transport", true);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].unique, unique);
  // The watching session sees the other program's completion. The message
  // file and its side entry change apart, so the first modification may come
  // before the session has read both: the status settles at 0 soon after.
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectModified, id)));
  const auto end = std::chrono::steady_clock::now() + EventLog::WAIT;
  while (getLong(id, PR_MSG_STATUS) != 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(getLong(id, PR_MSG_STATUS), 0);
  EXPECT_EQ(static_cast<ULONG>(getLong(otherId, PR_MSG_STATUS)), MSGSTATUS_HEADERONLY);
  // Unmarked ones too, when asked.
  EXPECT_EQ(completeDownloads(mail(), root / "Transport", false).size(), 1u);
  EXPECT_TRUE(listPendingDownloads(mail(), root / "Transport").empty());
}

TEST_F(MaildirTransportTest, MarksLeftByARunThatEndedAreCompletedAtTheNextLogon)
{
  // A run that held its downloads (or was killed) marked a message and ended.
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  MapiEntryBytes id = deliverHeaderOnly();
  std::string unmarked = deliver({"Inbox"}, FULL_TEXT, true);
  logon();
  const LONG marked = MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD;
  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MSG_STATUS, marked)), S_OK);
  logoff();
  log.clear();
  unsetenv("QUILLMARSH_TRANSPORT");
  // The next run's transport takes the mark up; the unmarked one waits.
  logon();
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectModified, id)));
  EXPECT_EQ(getLong(id, PR_MSG_STATUS), 0);
  EXPECT_FALSE(fs::exists(transportText()));
  EXPECT_EQ(static_cast<ULONG>(getLong(messageIdOf("Local", {"Inbox"}, unmarked), PR_MSG_STATUS)),
            MSGSTATUS_HEADERONLY);
}

TEST_F(MaildirTransportTest, SideEntriesAndFullTextsTravelWithTheMessage)
{
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  MapiEntryBytes id = deliverHeaderOnly();
  fs::create_directories(mail() / "Second");
  logon();
  unsetenv("QUILLMARSH_TRANSPORT");
  const LONG marked = MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD;
  ASSERT_EQ(provider->setProp(session, id, mapiLong(PR_MSG_STATUS, marked)), S_OK);
  ASSERT_EQ(provider->setProp(session, id, mapiText(PR_DISPLAY_CC, u"written back")), S_OK);
  EXPECT_EQ(getText(id, PR_DISPLAY_CC), u"written back");

  MapiEntryBytes work, moved;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Work", true, &work), S_OK);
  ASSERT_EQ(provider->copyMessage(session, id, folderIdOf("Local", {"Inbox"}), work, true, &moved), S_OK);
  EXPECT_EQ(getLong(moved, PR_MSG_STATUS), marked);
  EXPECT_EQ(getText(moved, PR_DISPLAY_CC), u"written back");
  EXPECT_FALSE(fs::exists(mail() / "Local" / "Inbox" / SIDE_FILE_NAME));

  // Into another store: the full text goes along.
  MapiEntryBytes elsewhere;
  ASSERT_EQ(provider->copyMessage(session, moved, work, folderIdOf("Second", {"Inbox"}), true, &elsewhere),
            S_OK);
  EXPECT_EQ(getLong(elsewhere, PR_MSG_STATUS), marked);
  EXPECT_EQ(getLong(elsewhere, PR_CE_MESSAGE_SIZE), static_cast<LONG>(FULL_TEXT.size()));
  EXPECT_TRUE(fs::exists(root / "Transport" / "Second" / unique));
  EXPECT_FALSE(fs::exists(transportText()));
}

TEST_F(MaildirTransportTest, AFullTextThatCannotBeCopiedWholeIsNotCopiedAtAll)
{
  // A cut full text beside the copy would count as its download, and
  // completing it would put the cut text in place of the message.
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  MapiEntryBytes id = deliverHeaderOnly();
  logon();
  unsetenv("QUILLMARSH_TRANSPORT");
  MapiEntryBytes work, copy;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Work", true, &work), S_OK);
  // Files may grow to 8 KiB only, as on a full disk: the full text does not fit.
  rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = {8192, before.rlim_max};
  auto handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  HRESULT hr = provider->copyMessage(session, id, folderIdOf("Local", {"Inbox"}), work, false, &copy);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, handler);

  ASSERT_EQ(hr, S_OK) << "the header-only copy is made";
  for (const fs::directory_entry &e : fs::directory_iterator(root / "Transport" / "Local"))
    EXPECT_TRUE(e.path().filename() == unique || fs::file_size(e.path()) == FULL_TEXT.size())
        << e.path() << " is a cut full text";
  EXPECT_EQ(*readWholeFile(transportText()), FULL_TEXT) << "the original's stays whole";
}

TEST_F(MaildirTransportTest, ACutOrGarbledSideFileIsRecoveredFrom)
{
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  MapiEntryBytes partial = deliverHeaderOnly();
  std::string full = deliver({"Inbox"}, mailText("complete"));
  MapiEntryBytes complete = messageIdOf("Local", {"Inbox"}, full);
  logon();
  const LONG marked = MSGSTATUS_HEADERONLY | MSGSTATUS_REMOTE_DOWNLOAD;
  ASSERT_EQ(provider->setProp(session, partial, mapiLong(PR_MSG_STATUS, marked)), S_OK);
  ASSERT_EQ(provider->setProp(session, complete, mapiText(PR_DISPLAY_TO, u"back")), S_OK);
  fs::path side = mail() / "Local" / "Inbox" / SIDE_FILE_NAME;
  std::string text = *readWholeFile(side);
  logoff();

  struct Damage {
    const char *what;
    std::string bytes;
  } damages[] = {
      {"cut", text.substr(0, text.size() - 3)},
      {"garbled", std::string(text).replace(text.size() / 2, 4, "\x01\xFF\x00\n", 4)},
      {"junk", std::string(300, '\xA5')},
      {"empty", ""},
  };
  for (const Damage &d : damages) {
    std::ofstream(side, std::ios::binary | std::ios::trunc) << d.bytes;
    logon();
    // What a damaged line said is gone; what the files say is still true:
    // the message is header-only while the transport area holds its text.
    ULONG status = static_cast<ULONG>(getLong(partial, PR_MSG_STATUS));
    EXPECT_TRUE(status == static_cast<ULONG>(marked) || status == MSGSTATUS_HEADERONLY) << d.what;
    std::u16string to = getText(complete, PR_DISPLAY_TO);
    EXPECT_TRUE(to == u"back" || to == u"bob@example.org") << d.what;
    // The next write leaves a sound file.
    ASSERT_EQ(provider->setProp(session, partial, mapiLong(PR_MSG_STATUS, marked)), S_OK);
    EXPECT_EQ(getLong(partial, PR_MSG_STATUS), marked) << d.what;
    EXPECT_EQ(parseSideFile(*readWholeFile(side)).count(unique), 1u) << d.what;
    logoff();
  }
}

TEST_F(MaildirTransportTest, AnUnreadableSideFileCountsAsDamagedAndIsReportedOnce)
{
  MapiEntryBytes partial = deliverHeaderOnly();
  fs::path side = mail() / "Local" / "Inbox" / SIDE_FILE_NAME;
  fs::create_directories(side); // a directory where the file belongs
  testing::internal::CaptureStderr();
  logon(); // a watching session reads every folder's side file at once
  EXPECT_EQ(messages(folderIdOf("Local", {"Inbox"})).size(), 1u);
  EXPECT_EQ(getLong(partial, PR_MSG_STATUS), MSGSTATUS_HEADERONLY);
  // A write cannot put a file in its place: refused, and nothing is lost.
  EXPECT_NE(provider->setProp(session, partial, mapiLong(PR_MSG_STATUS, MSGSTATUS_REMOTE_DOWNLOAD)), S_OK);
  EXPECT_TRUE(fs::is_directory(side));
  logoff();
  logon();
  EXPECT_EQ(getLong(partial, PR_MSG_STATUS), MSGSTATUS_HEADERONLY);
  std::string err = testing::internal::GetCapturedStderr();
  std::size_t first = err.find(side.string());
  EXPECT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find(side.string(), first + 1), std::string::npos) << err;
}

} // namespace

namespace {

// Names in a folder.
std::set<std::string> namesIn(const fs::path &dir)
{
  std::set<std::string> names;
  for (const auto &e : fs::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

// Delivers FULL_TEXT header-only in a child process that is killed while
// it writes the full text (it may write no more than 4096 bytes: the
// system ends it with SIGXFSZ); true when it was killed so.
bool deliveryKilledMidway(const fs::path &mailRoot, const fs::path &transportRoot)
{
  pid_t pid = fork();
  if (pid == 0) {
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    (void)deliverToStore(DeliveryTarget{mailRoot, transportRoot, "Local", {"Inbox"}}, FULL_TEXT, true);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

// A child that is writing a full text into the area (a temporary file it
// holds locked) until a byte comes on the returned pipe, then commits it.
struct AreaWriter {
  pid_t pid = -1; // the child
  int go = -1;    // write end of its pipe
};

AreaWriter startAreaWriter(const fs::path &target)
{
  int started[2], go[2];
  if (pipe(started) != 0 || pipe(go) != 0)
    return {};
  pid_t pid = fork();
  if (pid == 0) {
    // Only the test holds the pipe's write end: a test that ends without
    // the byte ends the wait too.
    close(go[1]);
    close(started[0]);
    AtomicFile file;
    char c = atomicOpen(&file, target) ? 'o' : 'x';
    (void)!write(started[1], &c, 1);
    (void)!read(go[0], &c, 1);
    _exit(atomicCommit(&file) ? 0 : 1);
  }
  close(started[1]);
  close(go[0]);
  char c = 0;
  (void)!read(started[0], &c, 1);
  close(started[0]);
  EXPECT_EQ(c, 'o');
  return {pid, go[1]};
}

} // namespace

TEST_F(MaildirTransportTest, WhatAKilledDeliveryLeftIsSweptNeverALiveWritersFile)
{
  deliverHeaderOnly(); // makes the store and its area
  fs::path area = root / "Transport" / "Local";
  ASSERT_TRUE(deliveryKilledMidway(mail(), root / "Transport"));
  std::set<std::string> left = namesIn(area);
  left.erase(unique);
  ASSERT_EQ(left.size(), 1u) << "the killed delivery's cut text";

  AreaWriter live = startAreaWriter(area / "live");
  ASSERT_GT(live.pid, 0);
  putFile(area / ".old.part", "an earlier build's cut text");
  std::string second = deliver({"Inbox"}, FULL_TEXT, true);
  std::set<std::string> now = namesIn(area);
  EXPECT_EQ(now.count(*left.begin()), 0u) << "its writer is gone: swept at the next delivery";
  EXPECT_EQ(now.size(), 4u) << "the two texts, the live writer's file, the fresh earlier one";
  EXPECT_EQ(now.count(".old.part"), 1u);

  // The program's sweep, when it starts watching the store.
  clockSetForTest(0, unixToFileTime(std::time(nullptr) + STALE_TEMPORARY_SECONDS + 60));
  logon();
  clockUseReal();
  EXPECT_EQ(namesIn(area).size(), 3u) << "the earlier form goes by age; the live writer's file stays";
  char c = 'g';
  ASSERT_EQ(write(live.go, &c, 1), 1);
  close(live.go);
  int status = 0;
  waitpid(live.pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(namesIn(area), (std::set<std::string>{unique, second, "live"}));
}
