#include "mapi_test_support.h"

namespace {

constexpr ULONG PROGRAM_MASK = fnevObjectCreated | fnevObjectModified | fnevObjectMoved; // 0x34

class MapiNotify : public MapiTest {
protected:
  void SetUp() override
  {
    MapiTest::SetUp();
    store = openStore(mail);
    ASSERT_EQ(S_OK, store->Advise(0, nullptr, PROGRAM_MASK, &sink, &connection));
    EXPECT_NE(0u, connection);
    EXPECT_EQ(1u, sink.refs.load());
  }
  void TearDown() override
  {
    if (store)
      store->Release();
    MapiTest::TearDown();
    EXPECT_EQ(0u, sink.refs.load()); // logoff released the sink
  }

  IMsgStore *store = nullptr; // "Mail", opened
  RecordingSink sink;          // subscribed to the whole store
  ULONG connection = 0;        // the subscription
};

TEST_F(MapiNotify, ChangesArriveOnTheNotificationThread)
{
  MemMessage *m = memAddMessage(memInbox(mail), {.subject = u"new"});
  ASSERT_TRUE(sink.waitFor(1));
  std::vector<SeenNote> notes = sink.notes();
  ASSERT_EQ(1u, notes.size()); // fnevNewMail is not in the mask
  EXPECT_EQ(fnevObjectCreated, notes[0].eventType);
  EXPECT_EQ(MAPI_MESSAGE, notes[0].objType);
  EXPECT_EQ(memEntryId(memObject(m)), notes[0].id);
  EXPECT_EQ(memEntryId(memObject(memInbox(mail))), notes[0].parent);
  EXPECT_NE(std::this_thread::get_id(), notes[0].thread);
}

TEST_F(MapiNotify, EachChangeNamesItsObjectAndFolders)
{
  MemFolder *inbox = memInbox(mail);
  MemMessage *m = memAddMessage(inbox, {.subject = u"x"});
  IMessage *message = open<IMessage>(memObject(m));
  SPropValue read{};
  read.ulPropTag = PR_MESSAGE_FLAGS;
  read.Value.l = MSGFLAG_READ;
  ASSERT_EQ(S_OK, message->SetProps(1, &read, nullptr));
  message->Release();

  IMAPIFolder *top = open<IMAPIFolder>(memObject(memTop(mail)));
  std::u16string name = u"Archive";
  IMAPIFolder *archive = nullptr;
  ASSERT_EQ(S_OK, top->CreateFolder(0, name.data(), nullptr, nullptr, MAPI_UNICODE | OPEN_IF_EXISTS, &archive));
  IMAPIFolder *from = open<IMAPIFolder>(memObject(inbox));
  MapiEntryBytes id = memEntryId(memObject(m));
  SBinary bin{static_cast<ULONG>(id.size()), id.data()};
  ENTRYLIST list{1, &bin};
  ASSERT_EQ(S_OK, from->CopyMessages(&list, nullptr, archive, 0, nullptr, MESSAGE_MOVE));
  from->Release();
  archive->Release();
  top->Release();
  memCompleteDownload(m);

  ASSERT_TRUE(sink.waitFor(5));
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  MemFolder *archiveFolder = memChild(memTop(mail), u"Archive");
  struct Expected {
    ULONG eventType;        // fnev*
    ULONG objType;          // MAPI_*
    MemObject *parent;      // the folder named as parent
    MemObject *oldParent;   // the former folder, or null
  };
  const Expected expected[] = {
      {fnevObjectCreated, MAPI_MESSAGE, memObject(inbox), nullptr},
      {fnevObjectModified, MAPI_MESSAGE, memObject(inbox), nullptr},
      {fnevObjectCreated, MAPI_FOLDER, memObject(memTop(mail)), nullptr},
      {fnevObjectMoved, MAPI_MESSAGE, memObject(archiveFolder), memObject(inbox)},
      {fnevObjectModified, MAPI_MESSAGE, memObject(archiveFolder), nullptr},
  };
  std::vector<SeenNote> notes = sink.notes();
  ASSERT_EQ(std::size(expected), notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].eventType, notes[i].eventType);
    EXPECT_EQ(expected[i].objType, notes[i].objType);
    EXPECT_EQ(memEntryId(expected[i].parent), notes[i].parent);
    EXPECT_EQ(expected[i].oldParent ? memEntryId(expected[i].oldParent) : MapiEntryBytes(), notes[i].oldParent);
  }
}

TEST_F(MapiNotify, ScriptedBatchesKeepTheirShape)
{
  MemMessage *m = memAddMessage(memInbox(mail), {.subject = u"x"});
  ASSERT_TRUE(sink.waitFor(1));
  // Three at once, the first one outside the mask: all arrive in one call.
  memPostEvents(mem.world,
                {memEvent(fnevNewMail, memObject(m)), memEvent(fnevObjectModified, memObject(m)),
                 memEvent(fnevObjectCopied, memObject(m))},
                true);
  ASSERT_TRUE(sink.waitFor(4));
  std::vector<SeenNote> notes = sink.notes();
  EXPECT_EQ(fnevNewMail, notes[1].eventType);
  EXPECT_EQ(3u, notes[1].batch);
  // Through the mask only the modification passes.
  memPostEvents(mem.world, {memEvent(fnevNewMail, memObject(m)), memEvent(fnevObjectModified, memObject(m))});
  ASSERT_TRUE(sink.waitFor(5));
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  notes = sink.notes();
  ASSERT_EQ(5u, notes.size());
  EXPECT_EQ(fnevObjectModified, notes[4].eventType);
  EXPECT_EQ(1u, notes[4].batch);
}

TEST_F(MapiNotify, OtherStoresAndFilteredSubscriptions)
{
  MemStore *work = memAddStore(mem.world, u"Work");
  memAddMessage(memInbox(work), {.subject = u"elsewhere"});
  // A subscription to one folder sees that folder's messages only.
  RecordingSink inboxOnly;
  MapiEntryBytes inboxId = memEntryId(memObject(memInbox(mail)));
  ULONG second = 0;
  ASSERT_EQ(S_OK, store->Advise(static_cast<ULONG>(inboxId.size()), reinterpret_cast<LPENTRYID>(inboxId.data()),
                                PROGRAM_MASK, &inboxOnly, &second));
  memAddMessage(memDrafts(mail), {.subject = u"draft"});
  memAddMessage(memInbox(mail), {.subject = u"mine"});
  ASSERT_TRUE(sink.waitFor(2));
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  EXPECT_EQ(2u, sink.notes().size()); // nothing from "Work"
  ASSERT_EQ(1u, inboxOnly.notes().size());
  EXPECT_EQ(inboxId, inboxOnly.notes()[0].parent);
  // A message moved out of the folder is news to its subscribers too.
  MapiEvent moved = memEvent(fnevObjectMoved, memObject(memMessages(memInbox(mail)).back()));
  moved.parent = memEntryId(memObject(memDrafts(mail)));
  moved.oldParent = inboxId;
  memPostEvents(mem.world, {moved});
  ASSERT_TRUE(inboxOnly.waitFor(2));
  EXPECT_EQ(inboxId, inboxOnly.notes()[1].oldParent);
  EXPECT_EQ(S_OK, store->Unadvise(second));
  EXPECT_EQ(0u, inboxOnly.refs.load());
}

TEST_F(MapiNotify, UnadviseEndsDeliveryEvenFromInsideOnNotify)
{
  EXPECT_EQ(MAPI_E_NOT_FOUND, store->Unadvise(connection + 100));
  IMsgStore *s = store;
  ULONG c = connection;
  std::atomic<HRESULT> inner{E_FAIL};
  sink.onNotify = [&](ULONG, LPNOTIFICATION) {
    if (inner.load() == E_FAIL)
      inner = s->Unadvise(c); // on the notification thread: must not wait for itself
  };
  memAddMessage(memInbox(mail), {.subject = u"one"});
  ASSERT_TRUE(sink.waitFor(1));
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  EXPECT_EQ(S_OK, inner.load());
  EXPECT_EQ(0u, sink.refs.load());
  memAddMessage(memInbox(mail), {.subject = u"two"});
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  EXPECT_EQ(1u, sink.notes().size());
}

TEST_F(MapiNotify, LogoffEndsSubscriptionsAndTheSession)
{
  ASSERT_EQ(S_OK, session->Logoff(0, 0, 0));
  EXPECT_EQ(0u, sink.refs.load());
  EXPECT_EQ(MAPI_E_NOT_FOUND, store->Unadvise(connection));
  HRESULT hr;
  SPropValue *v = getOne(store, PR_DISPLAY_NAME, &hr);
  EXPECT_EQ(MAPI_E_END_OF_SESSION, hr);
  EXPECT_EQ(nullptr, v);
  memAddMessage(memInbox(mail), {.subject = u"late"});
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  EXPECT_TRUE(sink.notes().empty());
  EXPECT_EQ(1u, memOpenSessions(mem.world)); // until its last object goes
  store->Release();
  store = nullptr;
  session->Release();
  session = nullptr;
  EXPECT_EQ(0u, memOpenSessions(mem.world));
}

// A sink that holds its store, as the program's watchers do: the logoff must
// break the cycle so that both go.
class OwningSink : public RecordingSink {
public:
  ULONG Release() override
  {
    ULONG left = RecordingSink::Release();
    if (left == 0 && store) {
      store->Unadvise(connection); // the program's watcher does this on its way out
      store->Release();
      store = nullptr;
    }
    return left;
  }
  IMsgStore *store = nullptr; // owned reference
  ULONG connection = 0;       // its subscription
};

TEST(MapiNotifyCycle, LogoffFreesASinkThatHoldsItsStore)
{
  MemInstall mem;
  MemStore *mail = memAddStore(mem.world, u"Mail");
  IMAPISession *session = nullptr;
  ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  MapiEntryBytes id = memEntryId(memObject(mail));
  OwningSink sink;
  ASSERT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                        nullptr, 0, &sink.store));
  ASSERT_EQ(S_OK, sink.store->Advise(0, nullptr, PROGRAM_MASK, &sink, &sink.connection));
  session->Logoff(0, 0, 0);
  session->Release();
  EXPECT_EQ(nullptr, sink.store);
  EXPECT_EQ(0u, memOpenSessions(mem.world));
}

} // namespace
