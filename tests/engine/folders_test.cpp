#include "engine/folders.h"
#include "engine/mapi_refs.h"
#include "tests/engine/engine_scene.h"

namespace {

class FoldersTest : public EngineTest {
protected:
  // A store with the standard folders and the given extra ones, watched.
  void start(const std::vector<std::u16string> &folders, bool standardFolders = true)
  {
    store = memAddStore(world(), u"Mail", standardFolders);
    for (const std::u16string &path : folders)
      ensureFolder(store, path);
    openSession();
    ASSERT_NE(watcherOf(u"Mail"), nullptr);
  }

  LPMDB mdb() const { return watcherOf(u"Mail")->store; }

  // The path of an open folder, read back through its entry id.
  static std::string pathOf(IMAPIFolder *folder)
  {
    if (!folder)
      return "(none)";
    MapiBuffer<SPropValue> id;
    if (!readOneProp(folder, PR_ENTRYID, &id))
      return "(no id)";
    const BYTE *bytes = id->Value.bin.lpb;
    MemObject *object = memFind(current->world(), MapiEntryBytes(bytes, bytes + id->Value.bin.cb));
    for (MemFolder *f : allFolders())
      if (memObject(f) == object)
        return folderPath(f);
    return "(unknown)";
  }

  // Every folder of the store, depth first.
  static std::vector<MemFolder *> allFolders()
  {
    std::vector<MemFolder *> out;
    std::vector<MemFolder *> todo{memTop(current->store)};
    while (!todo.empty()) {
      MemFolder *f = todo.back();
      todo.pop_back();
      out.push_back(f);
      for (MemFolder *child : memFolders(f))
        todo.push_back(child);
    }
    return out;
  }

  void SetUp() override
  {
    EngineTest::SetUp();
    current = this;
  }

  static inline FoldersTest *current = nullptr; // for the static helpers
  MemStore *store = nullptr;
};

std::string take(LPMAPIFOLDER folder, const std::function<std::string(IMAPIFolder *)> &describe)
{
  ComRef<IMAPIFolder> held(folder);
  return describe(held.get());
}

} // namespace

TEST_F(FoldersTest, TargetLookupOrderAndCreation)
{
  struct Case {
    const char *name;
    std::vector<std::u16string> folders; // existing, besides the standard ones
    std::u16string target;
    bool createUnderInbox;
    std::string expected;                 // path of the folder returned
  };
  const Case cases[] = {
      {"archive before Inbox", {u"Archive/Work", u"Inbox/Work"}, u"Work", true, "Archive/Work"},
      {"top before Inbox", {u"Work", u"Inbox/Work"}, u"Work", true, "Work"},
      {"top before archive", {u"Work", u"Archive/Work"}, u"Work", false, "Work"},
      {"Inbox when only there", {u"Inbox/Work"}, u"Work", false, "Inbox/Work"},
      {"exact case: created under the Inbox", {u"Work"}, u"work", true, "Inbox/work"},
      {"exact case: created under the archive", {u"Work"}, u"work", false, "Archive/work"},
      {"deeper folders are not searched", {u"Inbox/Sub/Work"}, u"Work", true, "Inbox/Work"},
      {"the archive folder itself", {}, u"Archive", true, "Archive"},
      {"a standard folder at the top", {}, u"Deleted Items", true, "Deleted Items"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    start(c.folders);
    EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), c.target.c_str(), c.createUnderInbox), pathOf), c.expected);
    closeSession();
    mem = std::make_unique<MemInstall>();
  }
}

TEST_F(FoldersTest, NamesAreNeverSplit)
{
  start({u"Inbox/Work"});
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Inbox/Work", true), pathOf), "Inbox/Inbox/Work");
  MemFolder *created = memChild(memInbox(store), u"Inbox/Work");
  ASSERT_NE(created, nullptr) << "one folder whose name holds the slash";
  EXPECT_EQ(memFolders(created).size(), 0u);
}

TEST_F(FoldersTest, ArchiveIsCreatedAtEveryLookup)
{
  start({u"Work"});
  EXPECT_EQ(memChild(memTop(store), u"Archive"), nullptr);
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", true), pathOf), "Work");
  EXPECT_NE(memChild(memTop(store), u"Archive"), nullptr) << "created although the target was found at the top";
}

TEST_F(FoldersTest, StoreWithoutInboxOrTop)
{
  start({}, false);
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", true), pathOf), "(none)") << "no Inbox to create it in";
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", false), pathOf), "Archive/Work");
  memRemoveProp(memObject(store), PR_IPM_SUBTREE_ENTRYID);
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", false), pathOf), "(none)") << "no top folder";
}

TEST_F(FoldersTest, FailingStoreCallsFindNothing)
{
  start({u"Work"});
  memFailAlways(world(), MapiCall::FolderCreateFolder, MAPI_E_NO_ACCESS);
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", true), pathOf), "Work") << "lookups still work";
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"New", true), pathOf), "(none)");
  memClearFaults(world());
  memThrowOnCall(world(), MapiCall::ContainerGetHierarchyTable, 1);
  EXPECT_EQ(take(findOrCreateTargetFolder(mdb(), u"Work", false), pathOf), "Archive/Work")
      << "a raising top lookup counts as not found";
  memThrowOnCall(world(), MapiCall::StoreGetReceiveFolder, 1);
  EXPECT_EQ(take(openInbox(mdb()), pathOf), "(none)");
  memFailCall(world(), MapiCall::PropGetProps, 1, MAPI_E_CALL_FAILED);
  EXPECT_EQ(take(openTopFolder(mdb()), pathOf), "(none)");
}

TEST_F(FoldersTest, SpecialFolders)
{
  start({u"Work"});
  auto special = [&](MemFolder *f) {
    MapiEntryBytes id = memEntryId(memObject(f));
    return isSpecialFolder(mdb(), static_cast<ULONG>(id.size()), id.data());
  };
  EXPECT_TRUE(special(memDeletedItems(store)));
  EXPECT_TRUE(special(memOutbox(store)));
  EXPECT_TRUE(special(memSentItems(store)));
  EXPECT_TRUE(special(memDrafts(store))) << "store-specific 0x81040102";
  EXPECT_TRUE(special(memInbox(store))) << "store-specific 0x81060102";
  EXPECT_FALSE(special(memChild(memTop(store), u"Work")));
  memFailCall(world(), MapiCall::PropGetProps, 1, MAPI_E_CALL_FAILED);
  EXPECT_TRUE(special(memDeletedItems(store))) << "a failed read goes on with the next property";
  EXPECT_FALSE(isSpecialFolder(mdb(), 0, nullptr));
}
