// Trees, files and clients that do not play by the rules: links that loop,
// files that never end or are not files, what a crash leaves in tmp/.
#include "tests/platform/maildir/provider_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

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
