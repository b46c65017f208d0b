// Stores in the layouts other mail programs write, as the provider reads
// and writes them: the Inbox and the folders where those programs have
// them, the standard folders mapped onto what is there, and nothing of
// theirs changed.
#include "layout_fixture.h"
#include "provider_fixture.h"

#include "platform/maildir/imap_utf7.h"
#include "platform/maildir/maildir_name.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using layouts::snapshot;

TEST(ImapUtf7, NamesAsImapServersWriteThem)
{
  struct {
    const char16_t *name;
    const char *encoded;
  } cases[] = {
      {u"Work", "Work"},
      {u"Entwürfe", "Entw&APw-rfe"},
      {u"Tom & Jerry", "Tom &- Jerry"},
      {u"日本語", "&ZeVnLIqe-"},
      {u"~peter/mail/台北/日本語", "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
      {u"😀 mood", "&2D3eAA- mood"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(encodeImapUtf7(c.name), c.encoded);
    EXPECT_EQ(decodeImapUtf7(c.encoded), std::u16string(c.name)) << c.encoded;
  }
  // What an IMAP server never writes is no modified UTF-7.
  for (const char *bad : {"open &ZeVn", "&ZeVnLIqe", "&AGE-", "&ZeV-", "caf\xc3\xa9", "&2D0-", "&Jjo!-",
                          "a\tb", "&ZeVn-&LIqe-"})
    EXPECT_FALSE(decodeImapUtf7(bad)) << bad;
}

class LayoutsTest : public MaildirTest {
protected:
  std::vector<std::u16string> childNames(const MapiEntryBytes &folder)
  {
    std::vector<MapiEntryBytes> ids;
    EXPECT_EQ(provider->listFolders(session, folder, &ids), S_OK);
    std::vector<std::u16string> names;
    for (const MapiEntryBytes &id : ids)
      names.push_back(getText(id, PR_DISPLAY_NAME));
    return names;
  }
  MapiEntryBytes storeProp(const std::string &store, ULONG tag)
  {
    MapiValue v;
    EXPECT_EQ(get(encodeMaildirId(storeId(store)), tag, &v), S_OK) << std::hex << tag;
    return v.bytes;
  }
  MapiEntryBytes inboxOf(const std::string &store)
  {
    MapiEntryBytes inbox;
    EXPECT_EQ(provider->receiveFolder(session, encodeMaildirId(storeId(store)), u"", &inbox), S_OK);
    return inbox;
  }
};

TEST_F(LayoutsTest, TheInboxTheFoldersAndTheStandardFoldersOfEachLayout)
{
  TempDir dovecot;
  layouts::dovecotStore(dovecot.path);
  fs::create_directories(mail());
  fs::create_symlink(dovecot.path, mail() / "Home");
  layouts::mbsyncStore(mail() / "Sync");
  fs::create_directories(mail() / "Local" / "Inbox");
  auto before = snapshot(dovecot.path);
  logon();

  // Maildir++: the top Maildir is the Inbox and the top folder; the dot
  // directories are its folders, dot-separated levels below each other.
  MapiEntryBytes homeInbox = inboxOf("Home");
  EXPECT_EQ(homeInbox, folderIdOf("Home", {}));
  EXPECT_EQ(storeProp("Home", PR_IPM_SUBTREE_ENTRYID), homeInbox);
  EXPECT_EQ(messages(homeInbox).size(), 2u);
  EXPECT_EQ(getLong(messageIdOf("Home", {}, "1700000002.M2P12.mx,S=120,W=124"), PR_MESSAGE_FLAGS), MSGFLAG_READ);
  EXPECT_EQ(childNames(homeInbox), (std::vector<std::u16string>{u"Entwürfe", u"Sent", u"Trash", u"Work"}));
  EXPECT_EQ(childNames(folderIdOf("Home", {"Work"})), std::vector<std::u16string>{u"Projects"});
  EXPECT_EQ(messages(folderIdOf("Home", {"Work", "Projects"})).size(), 1u);
  EXPECT_EQ(storeProp("Home", PR_IPM_WASTEBASKET_ENTRYID), folderIdOf("Home", {"Trash"}));
  EXPECT_EQ(storeProp("Home", PR_IPM_SENTMAIL_ENTRYID), folderIdOf("Home", {"Sent"}));
  EXPECT_EQ(storeProp("Home", PR_CE_IPM_DRAFTS_ENTRYID), folderIdOf("Home", {"Drafts"}));

  // Nested (mbsync): INBOX is the Inbox; Apple's names count as standard.
  EXPECT_EQ(inboxOf("Sync"), folderIdOf("Sync", {"INBOX"}));
  EXPECT_EQ(messages(inboxOf("Sync")).size(), 2u);
  EXPECT_EQ(childNames(folderIdOf("Sync", {})),
            (std::vector<std::u16string>{u"Archive", u"Deleted Messages", u"INBOX", u"Sent Messages"}));
  EXPECT_EQ(childNames(folderIdOf("Sync", {"Archive"})), std::vector<std::u16string>{u"2023"});
  EXPECT_EQ(storeProp("Sync", PR_IPM_WASTEBASKET_ENTRYID), folderIdOf("Sync", {"Deleted Messages"}));
  EXPECT_EQ(storeProp("Sync", PR_IPM_SENTMAIL_ENTRYID), folderIdOf("Sync", {"Sent Messages"}));

  // The program's own layout keeps its names, made only when written to.
  EXPECT_EQ(inboxOf("Local"), folderIdOf("Local", {"Inbox"}));
  EXPECT_EQ(storeProp("Local", PR_IPM_WASTEBASKET_ENTRYID), folderIdOf("Local", {"Deleted Items"}));
  EXPECT_EQ(getText(folderIdOf("Local", {"Deleted Items"}), PR_DISPLAY_NAME), u"Deleted Items");
  EXPECT_FALSE(fs::exists(mail() / "Local" / "Deleted Items"));

  // Looking made nothing in any store.
  EXPECT_EQ(snapshot(dovecot.path), before);
  EXPECT_FALSE(fs::exists(mail() / "Sync" / "Inbox"));
  EXPECT_FALSE(fs::exists(mail() / "Sync" / "Trash"));
}

TEST_F(LayoutsTest, MovesIntoMaildirPlusPlusFoldersWhereOtherProgramsLook)
{
  fs::path home = mail() / "Home";
  layouts::dovecotStore(home);
  auto uidlist = snapshot(home)["dovecot-uidlist"];
  logon();
  MapiEntryBytes inbox = folderIdOf("Home", {});
  MapiEntryBytes flagged = messageIdOf("Home", {}, "1700000002.M2P12.mx,S=120,W=124");
  MapiEntryBytes fresh = messageIdOf("Home", {}, "1700000001.M1P11.mx");

  // Into the existing .Work, flags and keywords kept.
  MapiEntryBytes work, moved;
  ASSERT_EQ(provider->createFolder(session, inbox, u"Work", true, &work), S_OK);
  EXPECT_EQ(work, folderIdOf("Home", {"Work"}));
  ASSERT_EQ(provider->copyMessage(session, flagged, inbox, work, true, &moved), S_OK);
  EXPECT_TRUE(fs::exists(home / ".Work" / "cur" / "1700000002.M2P12.mx,S=120,W=124:2,FSa"));

  // Into a new .Work.Sub, and a new top-level folder with a name beyond ASCII.
  MapiEntryBytes sub, drafts;
  ASSERT_EQ(provider->createFolder(session, work, u"Sub", false, &sub), S_OK);
  EXPECT_EQ(sub, folderIdOf("Home", {"Work", "Sub"}));
  ASSERT_EQ(provider->copyMessage(session, fresh, inbox, sub, true, &moved), S_OK);
  EXPECT_TRUE(fs::exists(home / ".Work.Sub" / "cur" / "1700000001.M1P11.mx:2,"));
  EXPECT_TRUE(fs::exists(home / ".Work.Sub" / "maildirfolder"));
  EXPECT_TRUE(fs::is_directory(home / ".Work.Sub" / "tmp"));
  EXPECT_FALSE(fs::exists(home / "Work"));
  ASSERT_EQ(provider->createFolder(session, inbox, u"Brouillons à voir", false, &drafts), S_OK);
  EXPECT_TRUE(fs::is_directory(home / ".Brouillons &AOA- voir" / "cur"));
  EXPECT_EQ(getText(drafts, PR_DISPLAY_NAME), u"Brouillons à voir");
  // The separators cannot be part of a name in this layout.
  EXPECT_EQ(provider->createFolder(session, inbox, u"v1.2", true, &drafts), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(provider->createFolder(session, inbox, u"a/b", true, &drafts), MAPI_E_INVALID_PARAMETER);

  // Deleted items go to the store's own Trash; the sent folder is the Sent there.
  MapiValue trash;
  ASSERT_EQ(get(encodeMaildirId(storeId("Home")), PR_IPM_WASTEBASKET_ENTRYID, &trash), S_OK);
  ASSERT_EQ(provider->copyMessage(session, moved, sub, trash.bytes, true, &moved), S_OK);
  EXPECT_TRUE(fs::exists(home / ".Trash" / "cur" / "1700000001.M1P11.mx:2,"));
  EXPECT_EQ(messages(trash.bytes).size(), 1u);

  // Other programs' files are as they were.
  EXPECT_EQ(snapshot(home)["dovecot-uidlist"], uidlist);
  EXPECT_FALSE(fs::exists(home / "Inbox"));
  EXPECT_FALSE(fs::exists(home / ".Deleted Items"));
}

TEST_F(LayoutsTest, AStandardFolderMissingIsMadeInTheStoresLayoutWhenFirstWritten)
{
  fs::path home = mail() / "Home";
  layouts::maildir(home);
  layouts::put(home / "cur" / "1700000001.M1P1.mx:2,S", layouts::mail("old"));
  layouts::mbsyncStore(mail() / "Sync");
  logon();
  MapiValue trash;
  ASSERT_EQ(get(encodeMaildirId(storeId("Home")), PR_IPM_WASTEBASKET_ENTRYID, &trash), S_OK);
  EXPECT_EQ(trash.bytes, folderIdOf("Home", {"Trash"}));
  EXPECT_FALSE(fs::exists(home / ".Trash"));
  EXPECT_EQ(getLong(trash.bytes, PR_CONTENT_COUNT), 0);
  MapiEntryBytes moved;
  ASSERT_EQ(provider->copyMessage(session, messageIdOf("Home", {}, "1700000001.M1P1.mx"),
                                  folderIdOf("Home", {}), trash.bytes, true, &moved),
            S_OK);
  EXPECT_TRUE(fs::exists(home / ".Trash" / "cur" / "1700000001.M1P1.mx:2,S"));
  EXPECT_TRUE(fs::exists(home / ".Trash" / "maildirfolder"));
  ASSERT_TRUE(log.waitFor(eventIs(fnevObjectCreated, folderIdOf("Home", {"Trash"}))));

  // A nested tree gets the folder as a directory of its own.
  MapiValue drafts;
  ASSERT_EQ(get(encodeMaildirId(storeId("Sync")), PR_CE_IPM_DRAFTS_ENTRYID, &drafts), S_OK);
  MapiEntryBytes sub;
  ASSERT_EQ(provider->createFolder(session, drafts.bytes, u"Later", true, &sub), S_OK);
  EXPECT_TRUE(fs::is_directory(mail() / "Sync" / "Drafts" / "Later" / "cur"));
  EXPECT_TRUE(fs::is_directory(mail() / "Sync" / "Drafts" / "cur"));
}

TEST_F(LayoutsTest, AMessageMovedOutOfAnMbsyncFolderLeavesItsUidThere)
{
  EXPECT_EQ(withoutFolderUid("1700000001.1_1.host,U=17"), "1700000001.1_1.host");
  EXPECT_EQ(withoutFolderUid("1700000001.1_1.host,U=17,X=1"), "1700000001.1_1.host,X=1");
  EXPECT_EQ(withoutFolderUid("1700000001.M1P1.mx,S=120,W=124"), "1700000001.M1P1.mx,S=120,W=124");
  EXPECT_EQ(withoutFolderUid("a,U=b,U=5"), "a,U=b");
  layouts::mbsyncStore(mail() / "Sync");
  logon();
  MapiEntryBytes moved;
  ASSERT_EQ(provider->copyMessage(session, messageIdOf("Sync", {"INBOX"}, "1700000001.1_1.host,U=1"),
                                  folderIdOf("Sync", {"INBOX"}), folderIdOf("Sync", {"Archive"}), true, &moved),
            S_OK);
  EXPECT_EQ(moved, messageIdOf("Sync", {"Archive"}, "1700000001.1_1.host"));
  EXPECT_TRUE(fs::exists(mail() / "Sync" / "Archive" / "cur" / "1700000001.1_1.host:2,S"));
  EXPECT_EQ(getText(moved, PR_SUBJECT), u"read");
}

TEST_F(LayoutsTest, ATreeWithoutAnInboxStaysTheProgramsOwnWhenMailComesToItsTop)
{
  // A store of the program's own layout whose Inbox was not made (yet).
  ASSERT_TRUE(ensureMaildir((fs::create_directories(mail() / "Work"), mail() / "Work" / "Archive")));
  putFile(mail() / "Work" / "Archive" / "cur" / "1700000001.M1P1.old:2,S", mailText("archived"));
  logon();
  EXPECT_EQ(childNames(folderIdOf("Work", {})), std::vector<std::u16string>{u"Archive"});
  logoff();
  // Mail comes to its top folder; met again, it is the same store.
  putFile(mail() / "Work" / "new" / "1700000002.M2P1.top", mailText("at the top"));
  logon();
  EXPECT_EQ(childNames(folderIdOf("Work", {})), std::vector<std::u16string>{u"Archive"});
  EXPECT_EQ(messages(folderIdOf("Work", {"Archive"})).size(), 1u);
  EXPECT_EQ(inboxOf("Work"), folderIdOf("Work", {"Inbox"})) << "the Inbox is made when first written";
  // A plain Maildir is still Maildir++: its top is the Inbox.
  putFile(mail() / "Plain" / "new" / "1700000003.M3P1.top", mailText("plain"));
  ASSERT_TRUE(ensureMaildir(mail() / "Plain"));
  EXPECT_EQ(inboxOf("Plain"), folderIdOf("Plain", {}));
}

} // namespace
