// The Maildir provider: stores, folders, messages and their properties, read
// from Maildirs that other programs wrote, and written so that they can read
// them.
#include "provider_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST_F(MaildirTest, MissingMailRootGetsTheLocalStoreWithItsStandardFolders)
{
  logon();
  std::vector<MapiEntryBytes> stores;
  ASSERT_EQ(provider->listStores(session, &stores), S_OK);
  ASSERT_EQ(stores.size(), 1u);
  EXPECT_EQ(getText(stores[0], PR_DISPLAY_NAME), u"Local");
  for (const char *f : {"", "Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"})
    for (const char *sub : {"cur", "new", "tmp"})
      EXPECT_TRUE(fs::is_directory(mail() / "Local" / f / sub)) << f << "/" << sub;
  // Nothing but Maildirs: no stray files.
  EXPECT_TRUE(filesBelow(mail()).empty());

  MapiEntryBytes inbox;
  ASSERT_EQ(provider->receiveFolder(session, stores[0], u"", &inbox), S_OK);
  EXPECT_EQ(inbox, folderIdOf("Local", {"Inbox"}));
  struct {
    ULONG tag;
    const char *folder; // null: absent
  } specials[] = {
      {PR_IPM_SUBTREE_ENTRYID, ""},          {PR_IPM_OUTBOX_ENTRYID, "Outbox"},
      {PR_IPM_WASTEBASKET_ENTRYID, "Deleted Items"}, {PR_IPM_SENTMAIL_ENTRYID, "Sent Items"},
      {PR_CE_IPM_DRAFTS_ENTRYID, "Drafts"},  {PR_CE_IPM_INBOX_ENTRYID, "Inbox"},
      {PR_VIEWS_ENTRYID, nullptr},           {PR_COMMON_VIEWS_ENTRYID, nullptr},
      {PR_FINDER_ENTRYID, nullptr},
  };
  for (const auto &sp : specials) {
    MapiValue v;
    HRESULT hr = get(stores[0], sp.tag, &v);
    if (!sp.folder) {
      EXPECT_EQ(hr, MAPI_E_NOT_FOUND) << std::hex << sp.tag;
      continue;
    }
    ASSERT_EQ(hr, S_OK) << std::hex << sp.tag;
    EXPECT_EQ(v.tag, sp.tag);
    std::vector<std::string> path;
    if (*sp.folder)
      path.push_back(sp.folder);
    EXPECT_EQ(v.bytes, folderIdOf("Local", path));
  }
}

TEST_F(MaildirTest, EachDirectoryOfMailIsAStoreAndALinkedTreeIsFine)
{
  TempDir elsewhere;
  fs::create_directories(mail() / "Work");
  fs::create_directories(elsewhere.path / "INBOX" / "cur");
  fs::create_symlink(elsewhere.path, mail() / "Home");
  fs::create_directories(mail() / ".hidden");
  logon();
  std::vector<MapiEntryBytes> stores;
  ASSERT_EQ(provider->listStores(session, &stores), S_OK);
  ASSERT_EQ(stores.size(), 2u);
  EXPECT_EQ(getText(stores[0], PR_DISPLAY_NAME), u"Home");
  EXPECT_EQ(getText(stores[1], PR_DISPLAY_NAME), u"Work");
  // Another program's "INBOX" is the receive folder; no second Inbox is made.
  MapiEntryBytes inbox;
  ASSERT_EQ(provider->receiveFolder(session, stores[0], u"", &inbox), S_OK);
  EXPECT_EQ(inbox, folderIdOf("Home", {"INBOX"}));
  EXPECT_FALSE(fs::exists(elsewhere.path / "Inbox"));
  // Nothing is made there before the program writes there.
  EXPECT_FALSE(fs::exists(elsewhere.path / "Trash"));
  EXPECT_FALSE(fs::exists(elsewhere.path / "Deleted Items"));
}

TEST_F(MaildirTest, ReadsAMaildirWrittenByOtherPrograms)
{
  fs::path inbox = mail() / "Local" / "Inbox";
  putFile(inbox / "new" / "1700000001.M1P1.host", mailText("fresh"));
  putFile(inbox / "cur" / "1700000002.M2P2.host:2,FS", mailText("seen and flagged"));
  putFile(inbox / "cur" / "1700000003.M3P3.host:2,", mailText("looked at"));
  putFile(inbox / "cur" / "1700000004_0.4711.mbsync,U=17:2,RS", mailText("other tool's name"));
  putFile(inbox / "cur" / ".1700000005.hidden:2,", mailText("dot file: not a message"));
  putFile(inbox / "dovecot-uidlist", "3 V1 N2\n");
  logon();
  std::vector<MapiEntryBytes> ids = messages(folderIdOf("Local", {"Inbox"}));
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(ids[0], messageIdOf("Local", {"Inbox"}, "1700000001.M1P1.host"));
  EXPECT_EQ(ids[3], messageIdOf("Local", {"Inbox"}, "1700000004_0.4711.mbsync,U=17"));
  LONG expectedFlags[] = {0, MSGFLAG_READ, 0, MSGFLAG_READ};
  const char16_t *subjects[] = {u"fresh", u"seen and flagged", u"looked at", u"other tool's name"};
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(getLong(ids[i], PR_MESSAGE_FLAGS), expectedFlags[i]) << i;
    EXPECT_EQ(getText(ids[i], PR_SUBJECT), subjects[i]) << i;
    EXPECT_EQ(getText(ids[i], PR_SENDER_NAME), u"Ann Example");
    EXPECT_EQ(getText(ids[i], PR_SENDER_EMAIL_ADDRESS), u"ann@example.org");
    EXPECT_EQ(getText(ids[i], PR_DISPLAY_TO), u"bob@example.org");
    EXPECT_EQ(getLong(ids[i], PR_MSG_STATUS), 0);
  }
  MapiValue v;
  EXPECT_EQ(get(ids[0], PR_DISPLAY_CC, &v), MAPI_E_NOT_FOUND);
  EXPECT_EQ(getLong(folderIdOf("Local", {"Inbox"}), PR_CONTENT_COUNT), 4);
  EXPECT_EQ(getLong(folderIdOf("Local", {"Inbox"}), PR_CONTENT_UNREAD), 2);
}

TEST_F(MaildirTest, ChangesFoundByAScanArePostedOneByOne)
{
  logon(MaildirOptions{false, false});
  MapiEntryBytes inbox = folderIdOf("Local", {"Inbox"});
  EXPECT_TRUE(messages(inbox).empty());
  std::vector<std::string> uniques;
  for (int i = 0; i < 5; ++i)
    uniques.push_back(deliver({"Inbox"}, mailText("burst")));
  // The scan of the contents table finds all five at once; each is
  // delivered alone, since a sink may read only the first of an array.
  EXPECT_EQ(messages(inbox).size(), 5u);
  for (const std::string &u : uniques)
    EXPECT_EQ(log.count(eventIs(fnevObjectCreated, messageIdOf("Local", {"Inbox"}, u))), 1);
  EXPECT_EQ(log.largestPost, 1u);
}

TEST_F(MaildirTest, SizeDeliveryTimeAttachmentsAndTheTextStream)
{
  std::string text = mailText("report", "Content-Type: multipart/mixed; boundary=b\r\n",
                              "--b\r\n\r\nsee attached\r\n--b\r\nContent-Type: application/pdf\r\n"
                              "Content-Disposition: attachment; filename=r.pdf\r\n\r\n%PDF\r\n--b--\r\n");
  std::string u = deliver({"Inbox"}, text, false, {std::nullopt, 1600000000, std::nullopt});
  logon();
  MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, u);
  EXPECT_EQ(getLong(id, PR_CE_MESSAGE_SIZE), static_cast<LONG>(text.size()));
  EXPECT_EQ(getLong(id, PR_MESSAGE_SIZE), static_cast<LONG>(text.size()));
  MapiValue v;
  ASSERT_EQ(get(id, PR_MESSAGE_DELIVERY_TIME, &v), S_OK);
  EXPECT_EQ(v.u64, 116444736000000000ull + 1600000000ull * 10000000ull);
  ASSERT_EQ(get(id, PR_HASATTACH, &v), S_OK);
  EXPECT_EQ(v.l, 1);
  std::string stream;
  ASSERT_EQ(provider->readStream(session, id, PR_CE_MIME_TEXT, &stream), S_OK);
  EXPECT_EQ(stream, text);
  EXPECT_EQ(getText(id, PR_MESSAGE_CLASS), u"IPM.Note");
  ASSERT_EQ(get(id, PR_PARENT_ENTRYID, &v), S_OK);
  EXPECT_EQ(v.bytes, folderIdOf("Local", {"Inbox"}));
  // Text asked for in 8 bits comes in the ANSI code page.
  ASSERT_EQ(get(id, CHANGE_PROP_TYPE(PR_SENDER_NAME, PT_STRING8), &v), S_OK);
  EXPECT_EQ(std::string(v.bytes.begin(), v.bytes.end()), "Ann Example");
}

TEST_F(MaildirTest, TheReadFlagIsTheSFlagAndTheIdSurvivesIt)
{
  fs::path inbox = mail() / "Local" / "Inbox";
  putFile(inbox / "new" / "1700000001.M1P1.host", mailText("a"));
  putFile(inbox / "cur" / "1700000002.M2P2.host:2,FRa", mailText("b"));
  fs::create_directories(inbox / "tmp");
  logon();
  MapiEntryBytes fresh = messageIdOf("Local", {"Inbox"}, "1700000001.M1P1.host");
  MapiEntryBytes flagged = messageIdOf("Local", {"Inbox"}, "1700000002.M2P2.host");

  // Marking read moves new/ to cur/ with "S"; the id still opens it.
  ASSERT_EQ(provider->setProp(session, fresh, mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ)), S_OK);
  EXPECT_TRUE(fs::exists(inbox / "cur" / "1700000001.M1P1.host:2,S"));
  EXPECT_TRUE(fs::is_empty(inbox / "new"));
  EXPECT_EQ(getLong(fresh, PR_MESSAGE_FLAGS), MSGFLAG_READ);
  // Other programs' flags and keywords stay, in ASCII order.
  ASSERT_EQ(provider->setProp(session, flagged, mapiLong(PR_MESSAGE_FLAGS, MSGFLAG_READ)), S_OK);
  EXPECT_TRUE(fs::exists(inbox / "cur" / "1700000002.M2P2.host:2,FRSa"));
  ASSERT_EQ(provider->setProp(session, flagged, mapiLong(PR_MESSAGE_FLAGS, 0)), S_OK);
  EXPECT_TRUE(fs::exists(inbox / "cur" / "1700000002.M2P2.host:2,FRa"));
  EXPECT_EQ(getLong(flagged, PR_MESSAGE_FLAGS), 0);
  EXPECT_TRUE(fs::is_empty(inbox / "tmp"));
  // Computed properties cannot be written.
  EXPECT_EQ(provider->setProp(session, flagged, mapiLong(PR_CE_MESSAGE_SIZE, 1)), MAPI_E_NO_ACCESS);
  EXPECT_EQ(provider->setProp(session, folderIdOf("Local", {}), mapiText(PR_DISPLAY_NAME, u"x")),
            MAPI_E_NO_ACCESS);
}

TEST_F(MaildirTest, MovesRenameKeepingTheFlagsAndCopiesGetNamesOfTheirOwn)
{
  fs::path inbox = mail() / "Local" / "Inbox";
  putFile(inbox / "cur" / "1700000002.M2P2.host:2,FS", mailText("keep"));
  putFile(inbox / "new" / "1700000003.M3P3.host", mailText("new one"));
  logon();
  MapiEntryBytes work;
  ASSERT_EQ(provider->createFolder(session, folderIdOf("Local", {}), u"Work", true, &work), S_OK);
  MapiEntryBytes from = folderIdOf("Local", {"Inbox"});
  MapiEntryBytes moved;
  ASSERT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Inbox"}, "1700000002.M2P2.host"),
                                  from, work, true, &moved),
            S_OK);
  EXPECT_EQ(moved, messageIdOf("Local", {"Work"}, "1700000002.M2P2.host"));
  EXPECT_TRUE(fs::exists(mail() / "Local" / "Work" / "cur" / "1700000002.M2P2.host:2,FS"));
  EXPECT_FALSE(fs::exists(inbox / "cur" / "1700000002.M2P2.host:2,FS"));
  // A message from new/ lands in cur/ with an empty flag list.
  ASSERT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Inbox"}, "1700000003.M3P3.host"),
                                  from, work, true, &moved),
            S_OK);
  EXPECT_TRUE(fs::exists(mail() / "Local" / "Work" / "cur" / "1700000003.M3P3.host:2,"));
  // The message is no longer where the id said.
  EXPECT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Inbox"}, "1700000003.M3P3.host"),
                                  from, work, true, &moved),
            MAPI_E_NOT_FOUND);
  // A copy: the original stays, the copy has a unique name of its own and the same flags.
  MapiEntryBytes copy;
  ASSERT_EQ(provider->copyMessage(session, messageIdOf("Local", {"Work"}, "1700000002.M2P2.host"),
                                  work, from, false, &copy),
            S_OK);
  EXPECT_NE(copy, messageIdOf("Local", {"Inbox"}, "1700000002.M2P2.host"));
  EXPECT_EQ(getText(copy, PR_SUBJECT), u"keep");
  EXPECT_EQ(getLong(copy, PR_MESSAGE_FLAGS), MSGFLAG_READ);
  EXPECT_EQ(messages(work).size(), 2u);
  EXPECT_TRUE(fs::is_empty(inbox / "tmp"));
  EXPECT_TRUE(fs::is_empty(mail() / "Local" / "Work" / "tmp"));
}

TEST_F(MaildirTest, CreateFolderOpensAnExistingOneAndKeepsAnyName)
{
  logon();
  MapiEntryBytes inbox = folderIdOf("Local", {"Inbox"});
  MapiEntryBytes a, b;
  ASSERT_EQ(provider->createFolder(session, inbox, u"Projects", true, &a), S_OK);
  ASSERT_EQ(provider->createFolder(session, inbox, u"Projects", true, &b), S_OK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(provider->createFolder(session, inbox, u"Projects", false, &b), MAPI_E_COLLISION);
  // Names compare exactly.
  ASSERT_EQ(provider->createFolder(session, inbox, u"projects", true, &b), S_OK);
  EXPECT_NE(a, b);
  // A directory of another program without cur/new/tmp is made a Maildir on opening.
  fs::create_directories(mail() / "Local" / "Inbox" / "Bare");
  ASSERT_EQ(provider->createFolder(session, inbox, u"Bare", true, &b), S_OK);
  EXPECT_TRUE(fs::is_directory(mail() / "Local" / "Inbox" / "Bare" / "tmp"));

  struct {
    const char16_t *name;
    const char *dir;
  } names[] = {{u"Inbox/Work", "Inbox%2FWork"}, {u".dot", "%2Edot"}, {u"cur", "%63ur"},
               {u"100%", "100%25"},             {u"Caf\u00E9", "Caf\xC3\xA9"}};
  for (const auto &n : names) {
    MapiEntryBytes id;
    ASSERT_EQ(provider->createFolder(session, inbox, n.name, true, &id), S_OK);
    EXPECT_TRUE(fs::is_directory(mail() / "Local" / "Inbox" / n.dir / "new")) << n.dir;
    EXPECT_EQ(getText(id, PR_DISPLAY_NAME), n.name);
  }
  MapiEntryBytes id;
  EXPECT_EQ(provider->createFolder(session, inbox, u"", true, &id), MAPI_E_INVALID_PARAMETER);

  std::vector<MapiEntryBytes> children;
  ASSERT_EQ(provider->listFolders(session, inbox, &children), S_OK);
  EXPECT_EQ(children.size(), 8u);
  MapiValue v;
  ASSERT_EQ(get(inbox, PR_SUBFOLDERS, &v), S_OK);
  EXPECT_EQ(v.l, 1);
  EXPECT_EQ(getText(folderIdOf("Local", {}), PR_DISPLAY_NAME), u"Local");
}

TEST_F(MaildirTest, EntryIdsAreCheckedAndNameNothingOutsideTheStores)
{
  logon();
  MapiObjectInfo info;
  ASSERT_EQ(provider->locate(session, folderIdOf("Local", {"Inbox"}), &info), S_OK);
  EXPECT_EQ(info.objType, MAPI_FOLDER);
  EXPECT_EQ(info.parent, folderIdOf("Local", {}));
  ASSERT_EQ(provider->locate(session, folderIdOf("Local", {}), &info), S_OK);
  EXPECT_TRUE(info.parent.empty());
  EXPECT_EQ(provider->locate(session, folderIdOf("Local", {"Nope"}), &info), MAPI_E_NOT_FOUND);
  EXPECT_EQ(provider->locate(session, messageIdOf("Local", {"Inbox"}, "gone"), &info), MAPI_E_NOT_FOUND);

  auto raw = [](const std::string &s) {
    MapiEntryBytes b(4 + s.size(), 0);
    std::copy(s.begin(), s.end(), b.begin() + 4);
    return b;
  };
  const MapiEntryBytes bad[] = {
      {},
      {0, 0, 0},
      raw("QMDF"),
      raw(std::string("QMDFLocal\0..\0", 13)),
      raw(std::string("QMDF..\0\0", 8)),
      raw(std::string("QMDFLocal\0Inbox/../..\0", 22)),
      raw(std::string("QMDFLocal\0Inbox/cur\0", 20)),
      raw(std::string("QMDMLocal\0Inbox\0../../x\0", 24)),
      raw(std::string("QMDXLocal\0", 10)),
      raw(std::string("QMDSLocal", 9)),
      {1, 0, 0, 0, 'Q', 'M', 'D', 'S', 'L', 0},
  };
  for (const MapiEntryBytes &b : bad)
    EXPECT_EQ(provider->locate(session, b, &info), MAPI_E_INVALID_ENTRYID);
}

TEST_F(MaildirTest, BadMessagesGiveTheirPropertiesOrTheirAbsence)
{
  std::string junk;
  for (int i = 0; i < 70000; ++i)
    junk.push_back(static_cast<char>((i * 2654435761u) >> 24));
  const std::string texts[] = {
      "",
      "no header section at all\r\njust text\r\n",
      junk,
      "Subject: " + std::string(10 * 1024 * 1024, 'y') + "\r\n\r\nbody",
      "Subject: =?utf-8?B?!!!?= =?bogus?Q?x?= =?utf-8?Q?caf=C3?=\r\nFrom: <>\r\n"
      "Content-Type: multipart/mixed; boundary=\r\n\r\n--\r\n",
      "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\nContent-Type: multipart/mixed; "
      "boundary=x\r\n\r\n--x\r\n",
  };
  std::vector<std::string> uniques;
  for (const std::string &t : texts)
    uniques.push_back(deliver({"Inbox"}, t));
  logon();
  const ULONG tags[] = {PR_SUBJECT,       PR_SENDER_NAME,    PR_SENDER_EMAIL_ADDRESS,
                        PR_DISPLAY_TO,    PR_DISPLAY_CC,     PR_HASATTACH,
                        PR_MESSAGE_FLAGS, PR_MSG_STATUS,     PR_CE_MESSAGE_SIZE,
                        PR_MESSAGE_DELIVERY_TIME};
  for (std::size_t i = 0; i < uniques.size(); ++i) {
    MapiEntryBytes id = messageIdOf("Local", {"Inbox"}, uniques[i]);
    for (ULONG tag : tags) {
      MapiValue v;
      HRESULT hr = get(id, tag, &v);
      EXPECT_TRUE(hr == S_OK || hr == MAPI_E_NOT_FOUND) << i << " " << std::hex << tag;
      if (hr == S_OK && PROP_TYPE(tag) == PT_UNICODE) {
        EXPECT_LE(v.text.size(), MAX_TEXT_UNITS);
      }
    }
    EXPECT_EQ(getLong(id, PR_CE_MESSAGE_SIZE), static_cast<LONG>(texts[i].size()));
  }
  MapiValue v;
  EXPECT_EQ(get(messageIdOf("Local", {"Inbox"}, uniques[1]), PR_SUBJECT, &v), MAPI_E_NOT_FOUND);
  EXPECT_EQ(getText(messageIdOf("Local", {"Inbox"}, uniques[3]), PR_SUBJECT).size(), MAX_TEXT_UNITS);
}

TEST_F(MaildirTest, ASideFileSaveKilledBeforeItsEndLeavesNothingOnceTheFolderIsRead)
{
  std::string unique = deliver({"Inbox"}, mailText("one"));
  std::filesystem::path inbox = mail() / "Local" / "Inbox";
  // 999999999 is above any process id Linux gives: a writer that is gone.
  std::string killed = std::string(".") + SIDE_FILE_NAME + ".tmp.999999999.Ab12Cd";
  std::string live = std::string(".") + SIDE_FILE_NAME + ".tmp." + std::to_string(getpid()) + ".Ab12Cd";
  putFile(inbox / killed, "quillmarsh-side 1\n");
  putFile(inbox / live, "quillmarsh-side 1\n");
  logon();
  EXPECT_EQ(getLong(messageIdOf("Local", {"Inbox"}, unique), PR_MSG_STATUS), 0);
  EXPECT_FALSE(std::filesystem::exists(inbox / killed));
  EXPECT_TRUE(std::filesystem::exists(inbox / live));
}

} // namespace
