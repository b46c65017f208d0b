#include "mapi_test_support.h"

namespace {

using MapiTables = MapiTest;

std::vector<MapiEntryBytes> idsOf(std::initializer_list<MemObject *> objects)
{
  std::vector<MapiEntryBytes> out;
  for (MemObject *o : objects)
    out.push_back(memEntryId(o));
  return out;
}

TEST_F(MapiTables, StoresTableListsStoresInOrderOneRowAtATime)
{
  MemStore *second = memAddStore(mem.world, u"Work");
  IMAPITable *table = nullptr;
  ASSERT_EQ(S_OK, session->GetMsgStoresTable(MAPI_UNICODE, &table));
  ULONG count = 0;
  EXPECT_EQ(S_OK, table->GetRowCount(0, &count));
  EXPECT_EQ(2u, count);
  EXPECT_EQ(idsOf({memObject(mail), memObject(second)}), firstColumn(table));
  table->Release();
}

TEST_F(MapiTables, SetColumnsChoosesWhatRowsCarry)
{
  IMAPITable *table = nullptr;
  ASSERT_EQ(S_OK, session->GetMsgStoresTable(MAPI_UNICODE, &table));
  SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME, PR_SUBJECT}};
  ASSERT_EQ(S_OK, table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0));
  SRowSet *rows = nullptr;
  ASSERT_EQ(S_OK, table->QueryRows(5, 0, &rows));
  ASSERT_EQ(1u, rows->cRows);
  ASSERT_EQ(2u, rows->aRow[0].cValues);
  EXPECT_EQ(PR_DISPLAY_NAME, rows->aRow[0].lpProps[0].ulPropTag);
  EXPECT_EQ(std::u16string(u"Mail"), rows->aRow[0].lpProps[0].Value.lpszW);
  EXPECT_EQ(CHANGE_PROP_TYPE(PR_SUBJECT, PT_ERROR), rows->aRow[0].lpProps[1].ulPropTag);
  FreeProws(rows);
  // At the end: a row set with no rows, still to be freed.
  ASSERT_EQ(S_OK, table->QueryRows(1, 0, &rows));
  EXPECT_EQ(0u, rows->cRows);
  FreeProws(rows);
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER, table->QueryRows(0, 0, &rows));
  table->Release();
}

TEST_F(MapiTables, HierarchyAndContentsFollowTheFolderTree)
{
  MemFolder *projects = memAddFolder(memInbox(mail), u"Projects");
  MemMessage *a = memAddMessage(memInbox(mail), {.subject = u"a"});
  MemMessage *b = memAddMessage(memInbox(mail), {.subject = u"b"});

  IMAPIFolder *top = open<IMAPIFolder>(memObject(memTop(mail)));
  IMAPITable *table = nullptr;
  ASSERT_EQ(S_OK, top->GetHierarchyTable(0, &table));
  std::vector<MapiEntryBytes> expected;
  for (MemFolder *f : memFolders(memTop(mail)))
    expected.push_back(memEntryId(memObject(f)));
  EXPECT_EQ(5u, expected.size()); // Inbox, Outbox, Sent Items, Deleted Items, Drafts
  EXPECT_EQ(expected, firstColumn(table));
  table->Release();
  top->Release();

  IMAPIFolder *inbox = open<IMAPIFolder>(memObject(memInbox(mail)));
  ASSERT_EQ(S_OK, inbox->GetHierarchyTable(0, &table));
  EXPECT_EQ(idsOf({memObject(projects)}), firstColumn(table));
  table->Release();
  ASSERT_EQ(S_OK, inbox->GetContentsTable(0, &table));
  // Taken when obtained: a later message is not in it.
  memAddMessage(memInbox(mail), {.subject = u"c"});
  EXPECT_EQ(idsOf({memObject(a), memObject(b)}), firstColumn(table));
  table->Release();
  inbox->Release();
}

TEST_F(MapiTables, OpenEntryGivesEachKindItsInterface)
{
  MemMessage *m = memAddMessage(memInbox(mail), {.subject = u"a"});
  struct Case {
    MemObject *object; // what is opened
    ULONG type;        // the type reported
    const IID *iid;    // an interface it must answer
  };
  const Case cases[] = {{memObject(mail), MAPI_STORE, &IID_IMsgStore},
                        {memObject(memInbox(mail)), MAPI_FOLDER, &IID_IMAPIFolder},
                        {memObject(m), MAPI_MESSAGE, &IID_IMessage}};
  for (const Case &c : cases) {
    MapiEntryBytes id = memEntryId(c.object);
    IUnknown *unk = nullptr;
    ULONG type = 0;
    ASSERT_EQ(S_OK, session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                       nullptr, 0, &type, &unk));
    EXPECT_EQ(c.type, type);
    void *asked = nullptr;
    EXPECT_EQ(S_OK, unk->QueryInterface(*c.iid, &asked));
    static_cast<IUnknown *>(asked)->Release();
    EXPECT_EQ(E_NOINTERFACE, unk->QueryInterface(IID_IMAPITable, &asked));
    unk->Release();
  }
  // Asking for an interface the object lacks, and ids that name nothing.
  MapiEntryBytes id = memEntryId(memObject(m));
  IUnknown *unk = nullptr;
  EXPECT_EQ(MAPI_E_INTERFACE_NOT_SUPPORTED,
            session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                               &IID_IMAPIFolder, 0, nullptr, &unk));
  EXPECT_EQ(nullptr, unk);
  MapiEntryBytes junk(14, 0x5A);
  EXPECT_EQ(MAPI_E_NOT_FOUND, session->OpenEntry(14, reinterpret_cast<LPENTRYID>(junk.data()), nullptr, 0, nullptr, &unk));
  memRemoveMessage(m);
  EXPECT_EQ(MAPI_E_NOT_FOUND, session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                                 nullptr, 0, nullptr, &unk));
}

TEST_F(MapiTables, StoreOpensOnlyItsOwnEntries)
{
  MemStore *work = memAddStore(mem.world, u"Work");
  IMsgStore *store = openStore(mail);
  MapiEntryBytes foreign = memEntryId(memObject(memInbox(work)));
  IUnknown *unk = nullptr;
  EXPECT_EQ(MAPI_E_NOT_FOUND, store->OpenEntry(static_cast<ULONG>(foreign.size()),
                                               reinterpret_cast<LPENTRYID>(foreign.data()), nullptr, 0, nullptr, &unk));
  MapiEntryBytes own = memEntryId(memObject(memInbox(mail)));
  ULONG type = 0;
  ASSERT_EQ(S_OK, store->OpenEntry(static_cast<ULONG>(own.size()), reinterpret_cast<LPENTRYID>(own.data()), nullptr,
                                   0, &type, &unk));
  EXPECT_EQ(MAPI_FOLDER, type);
  unk->Release();
  store->Release();
}

} // namespace
