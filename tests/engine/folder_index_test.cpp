// The folder index beside the target-folder lookup: moves after the first
// no longer look the folder up, and whatever another program does to the
// folders between two moves is seen at the next move as the lookup has it.
#include "tests/engine/engine_scene.h"

#include "engine/folder_index.h"
#include "platform/maildir/delivery.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/maildir/store_layout.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The engine over the real Maildir store, another program changing its folders.
class FolderIndexMaildirTest : public TempRootTest {
protected:
  static void SetUpTestSuite()
  {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
  }

  void SetUp() override
  {
    TempRootTest::SetUp();
    messageBoxRecordForTest(IDOK);
    createReadAgeLock();
    createKnownUsersLock();
    provider = createMaildirProvider(MaildirOptions{});
    MAPISetProvider(provider);
  }

  void TearDown() override
  {
    closeSession();
    MAPISetProvider(nullptr);
    destroyMaildirProvider(provider);
    clearRules();
    clearKnownUsers();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    messageBoxUseReal();
    TempRootTest::TearDown();
  }

  fs::path store() const { return root / "Mail/Local"; }

  // Delivers a message from Ann into the Inbox; its unique name.
  std::string deliver()
  {
    auto unique = deliverToStore(DeliveryTarget{mailRoot(), transportRoot(), "Local", {"Inbox"}},
                                 "From: ann@example.org\r\nTo: bob@example.org\r\nSubject: s\r\n\r\nx\r\n", false,
                                 DeliveryOptions{});
    EXPECT_TRUE(unique);
    return unique ? *unique : std::string();
  }

  // The folder below the store that holds the message, once it left the
  // Inbox (at most thirty seconds), or "".
  std::string placeOf(const std::string &unique) const
  {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {
      (void)MAPIWaitForNotifications(1000);
      for (const auto &e : fs::recursive_directory_iterator(store()))
        if (e.path().filename().string().rfind(unique, 0) == 0 && e.path().parent_path().parent_path() != store() / "Inbox")
          return fs::relative(e.path().parent_path().parent_path(), store()).string();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return "";
  }

  // A folder as another Maildir program makes one.
  void makeFolder(const fs::path &relative) const
  {
    for (const char *sub : {"cur", "new", "tmp"})
      fs::create_directories(store() / relative / sub);
  }

  MapiProvider *provider = nullptr; // the Maildir provider of this test
};

class FolderIndexTest : public EngineTest {};

} // namespace

TEST_F(FolderIndexMaildirTest, FoldersChangedByAnotherProgramAreSeenAtTheNextMove)
{
  addRule({.from = u"ann", .moveTo = u"Work"});
  std::string first = deliver();
  openSession();
  EXPECT_EQ(placeOf(first), "Inbox/Work") << "made under the Inbox";
  EXPECT_EQ(placeOf(deliver()), "Inbox/Work") << "from the index";

  makeFolder("Work");
  EXPECT_EQ(placeOf(deliver()), "Work") << "a folder of that name at the top comes first";

  fs::rename(store() / "Work", store() / "Old Work");
  EXPECT_EQ(placeOf(deliver()), "Inbox/Work") << "renamed away: the Inbox's is next";

  fs::remove_all(store() / "Inbox/Work");
  EXPECT_EQ(placeOf(deliver()), "Inbox/Work") << "removed: made again";

  fs::remove_all(store() / "Archive");
  EXPECT_EQ(placeOf(deliver()), "Inbox/Work");
  EXPECT_TRUE(fs::is_directory(store() / "Archive/cur")) << "the archive folder is made at every move";

  makeFolder("Archive/Work");
  EXPECT_EQ(placeOf(deliver()), "Archive/Work") << "the archive's comes before the Inbox's";
}

TEST_F(FolderIndexTest, MovesAfterTheFirstDoNotListFolders)
{
  MemStore *store = memAddStore(world(), u"Mail");
  addRule({.from = u"ann", .moveTo = u"Work"});
  openSession();
  settle();
  auto movedOne = [&] {
    ULONG before = memCallCount(world(), MapiCall::ContainerGetHierarchyTable);
    MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x"});
    settle();
    EXPECT_EQ(where(m), "Inbox/Work");
    return memCallCount(world(), MapiCall::ContainerGetHierarchyTable) - before;
  };
  EXPECT_GT(movedOne(), 0u) << "the first move looks the folder up (and makes it)";
  EXPECT_EQ(movedOne(), 0u) << "the notified creation is of the folder indexed: from the index";
  EXPECT_EQ(movedOne(), 0u);

  memAddFolder(memTop(store), u"Work");
  settle();
  MemMessage *m = memAddMessage(memInbox(store), {.from = u"ann@x"});
  settle();
  EXPECT_EQ(where(m), "Work") << "the notified folder is looked up";
}

TEST_F(FolderIndexTest, WithoutNotificationsEveryMoveLooksTheFolderUp)
{
  // Nothing would tell the index of a change, so it is not used.
  MemStore *store = memAddStore(world(), u"Mail");
  addRule({.from = u"ann", .moveTo = u"Work"});
  for (int i = 0; i < 3; ++i)
    memAddMessage(memInbox(store), {.from = u"ann@x"});
  memFailAlways(world(), MapiCall::StoreAdvise, MAPI_E_NO_SUPPORT);
  openSession();
  EXPECT_EQ(memMessages(memChild(memInbox(store), u"Work")).size(), 3u);
  EXPECT_GE(memCallCount(world(), MapiCall::ContainerGetHierarchyTable), 9u)
      << "the top, the archive and the Inbox listed for each move";
}
