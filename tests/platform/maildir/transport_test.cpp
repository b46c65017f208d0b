// Header-only messages and the transport that completes their download; the
// side file that holds what a Maildir file name cannot.
#include "provider_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <sys/stat.h>

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
  for (int i = 0; i < 200 && getLong(id, PR_MSG_STATUS) != 0; ++i)
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
