#include "mapi_test_support.h"

namespace {

class MapiFaults : public MapiTest {
protected:
  void SetUp() override
  {
    MapiTest::SetUp();
    message = memAddMessage(memInbox(mail), {.subject = u"s", .text = "To: a\r\n\r\nbody\r\n"});
    object = open<IMessage>(memObject(message));
  }
  void TearDown() override
  {
    if (object)
      object->Release();
    MapiTest::TearDown();
  }
  HRESULT subject()
  {
    HRESULT hr;
    MAPIFreeBuffer(getOne(object, PR_SUBJECT, &hr));
    return hr;
  }

  MemMessage *message = nullptr; // a message with a text
  IMessage *object = nullptr;    // it, opened
};

TEST_F(MapiFaults, TheNthCallFailsOnce)
{
  memFailCall(mem.world, MapiCall::PropGetProps, 2, MAPI_E_NO_ACCESS);
  EXPECT_EQ(S_OK, subject());
  EXPECT_EQ(MAPI_E_NO_ACCESS, subject());
  EXPECT_EQ(S_OK, subject());
  EXPECT_EQ(3u, memCallCount(mem.world, MapiCall::PropGetProps));
}

TEST_F(MapiFaults, AnyCountsEveryCallAndAlwaysStays)
{
  ULONG before = memCallCount(mem.world, MapiCall::Any);
  memFailCall(mem.world, MapiCall::Any, 1, MAPI_E_CALL_FAILED);
  EXPECT_EQ(MAPI_E_CALL_FAILED, subject());
  EXPECT_EQ(before + 1, memCallCount(mem.world, MapiCall::Any));

  memFailAlways(mem.world, MapiCall::PropSetProps, MAPI_E_NOT_ENOUGH_MEMORY);
  SPropValue v{};
  v.ulPropTag = PR_MESSAGE_FLAGS;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(MAPI_E_NOT_ENOUGH_MEMORY, object->SetProps(1, &v, nullptr));
  memClearFaults(mem.world);
  EXPECT_EQ(S_OK, object->SetProps(1, &v, nullptr));
}

TEST_F(MapiFaults, ThrowingCallsLetTheFaultThrough)
{
  memThrowOnCall(mem.world, MapiCall::PropGetProps, 1);
  EXPECT_THROW(subject(), MapiInjectedFault);
  EXPECT_EQ(S_OK, subject());
}

TEST_F(MapiFaults, ReadingTheTextCanFailMidway)
{
  IUnknown *unk = nullptr;
  ASSERT_EQ(S_OK, object->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &unk));
  auto *stream = static_cast<IStream *>(unk);
  char buf[4];
  ULONG got = 0;
  memFailCall(mem.world, MapiCall::StreamRead, 2, STG_E_READFAULT);
  EXPECT_EQ(S_OK, stream->Read(buf, sizeof buf, &got));
  EXPECT_EQ(4u, got);
  EXPECT_EQ(STG_E_READFAULT, stream->Read(buf, sizeof buf, &got));
  EXPECT_EQ(0u, got);
  memThrowOnCall(mem.world, MapiCall::StreamRead, 1);
  EXPECT_THROW(stream->Read(buf, sizeof buf, &got), MapiInjectedFault);
  stream->Release();
}

TEST_F(MapiFaults, EveryMethodCanBeFailed)
{
  // Each call of the program's kinds, failed in turn: the error comes back and
  // no output is left behind.
  IMsgStore *store = openStore(mail);
  IMAPIFolder *inbox = open<IMAPIFolder>(memObject(memInbox(mail)));
  MapiEntryBytes id = memEntryId(memObject(message));
  auto eid = reinterpret_cast<LPENTRYID>(id.data());
  ULONG cb = static_cast<ULONG>(id.size());
  struct Case {
    MapiCall call;                 // the method failed
    std::function<HRESULT()> run;  // one call of it
  };
  const Case cases[] = {
      {MapiCall::SessionGetMsgStoresTable, [&] { IMAPITable *t = nullptr; HRESULT hr = session->GetMsgStoresTable(0, &t); EXPECT_EQ(nullptr, t); return hr; }},
      {MapiCall::SessionOpenEntry, [&] { IUnknown *u = nullptr; HRESULT hr = session->OpenEntry(cb, eid, nullptr, 0, nullptr, &u); EXPECT_EQ(nullptr, u); return hr; }},
      {MapiCall::StoreOpenEntry, [&] { IUnknown *u = nullptr; HRESULT hr = store->OpenEntry(cb, eid, nullptr, 0, nullptr, &u); EXPECT_EQ(nullptr, u); return hr; }},
      {MapiCall::StoreGetReceiveFolder, [&] { ULONG n = 9; ENTRYID *e = nullptr; HRESULT hr = store->GetReceiveFolder(nullptr, 0, &n, &e, nullptr); EXPECT_EQ(nullptr, e); EXPECT_EQ(0u, n); return hr; }},
      {MapiCall::ContainerGetContentsTable, [&] { IMAPITable *t = nullptr; HRESULT hr = inbox->GetContentsTable(0, &t); EXPECT_EQ(nullptr, t); return hr; }},
      {MapiCall::ContainerGetHierarchyTable, [&] { IMAPITable *t = nullptr; HRESULT hr = inbox->GetHierarchyTable(0, &t); EXPECT_EQ(nullptr, t); return hr; }},
      {MapiCall::FolderCreateFolder, [&] { std::u16string n = u"X"; IMAPIFolder *f = nullptr; HRESULT hr = inbox->CreateFolder(0, n.data(), nullptr, nullptr, OPEN_IF_EXISTS, &f); EXPECT_EQ(nullptr, f); return hr; }},
      {MapiCall::FolderCopyMessages, [&] { SBinary b{cb, id.data()}; ENTRYLIST l{1, &b}; return inbox->CopyMessages(&l, nullptr, inbox, 0, nullptr, MESSAGE_MOVE); }},
      {MapiCall::PropOpenProperty, [&] { IUnknown *u = nullptr; HRESULT hr = object->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &u); EXPECT_EQ(nullptr, u); return hr; }},
      {MapiCall::StoreAdvise, [&] { RecordingSink s; ULONG c = 5; HRESULT hr = store->Advise(0, nullptr, fnevObjectCreated, &s, &c); EXPECT_EQ(0u, c); EXPECT_EQ(0u, s.refs.load()); return hr; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(mapiCallName(c.call));
    memFailCall(mem.world, c.call, 1, MAPI_E_DISK_ERROR);
    EXPECT_EQ(MAPI_E_DISK_ERROR, c.run());
  }
  EXPECT_EQ(memInbox(mail), memFolderOf(message));
  EXPECT_EQ(nullptr, memChild(memInbox(mail), u"X"));
  inbox->Release();
  store->Release();
}

TEST(MapiLogon, StartUpAndLogonFailures)
{
  MemInstall mem;
  IMAPISession *session = nullptr;
  memFailLogon(mem.world, MAPI_E_NETWORK_ERROR);
  EXPECT_EQ(MAPI_E_NETWORK_ERROR, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  EXPECT_EQ(nullptr, session);
  memFailInitialize(mem.world, MAPI_E_CALL_FAILED);
  EXPECT_EQ(MAPI_E_CALL_FAILED, MAPIInitialize(nullptr));
  memClearFaults(mem.world);
  // MemInstall's MAPIInitialize still counts; one more nests.
  ASSERT_EQ(S_OK, MAPIInitialize(nullptr));
  MAPIUninitialize();
  ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  session->Logoff(0, 0, 0);
  EXPECT_EQ(S_OK, session->Logoff(0, 0, 0)); // a second logoff changes nothing
  session->Release();
  EXPECT_EQ(0u, memOpenSessions(mem.world));
}

TEST(MapiLogon, NeedsInitializeAndAProvider)
{
  IMAPISession *session = nullptr;
  const MapiProvider *before = MAPIGetProvider();
  MAPISetProvider(nullptr);
  ASSERT_EQ(S_OK, MAPIInitialize(nullptr));
  EXPECT_EQ(MAPI_E_LOGON_FAILED, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  MAPIUninitialize();
  EXPECT_EQ(MAPI_E_NOT_INITIALIZED, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  EXPECT_EQ(nullptr, session);
  MAPISetProvider(before);
}

} // namespace
