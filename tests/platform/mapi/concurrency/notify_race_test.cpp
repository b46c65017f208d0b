// The notification thread against calls from other threads, for ThreadSanitizer.
#include "../mapi_test_support.h"

namespace {

constexpr ULONG MASK = fnevObjectCreated | fnevObjectModified | fnevObjectMoved;
constexpr int ROUNDS = 200;

class MapiRace : public MapiTest {
protected:
  void SetUp() override
  {
    MapiTest::SetUp();
    store = openStore(mail);
  }
  void TearDown() override
  {
    if (store)
      store->Release();
    MapiTest::TearDown();
  }
  IMsgStore *store = nullptr; // "Mail", opened
};

TEST_F(MapiRace, SinkReadsWhileOtherThreadsChange)
{
  RecordingSink sink;
  // As the program's watcher does: open what the notification names and read it.
  std::atomic<int> reads{0};
  sink.onNotify = [&](ULONG count, LPNOTIFICATION n) {
    for (ULONG i = 0; i < count; ++i) {
      if (n[i].info.obj.ulObjType != MAPI_MESSAGE)
        continue;
      IUnknown *unk = nullptr;
      if (session->OpenEntry(n[i].info.obj.cbEntryID, n[i].info.obj.lpEntryID, nullptr, 0, nullptr, &unk) != S_OK)
        continue;
      HRESULT hr;
      void *asked = nullptr;
      if (unk->QueryInterface(IID_IMAPIProp, &asked) == S_OK) {
        MAPIFreeBuffer(getOne(static_cast<IMAPIProp *>(asked), PR_MESSAGE_FLAGS, &hr));
        static_cast<IMAPIProp *>(asked)->Release();
      } else {
        hr = E_NOINTERFACE;
      }
      if (hr == S_OK)
        ++reads;
      unk->Release();
    }
  };
  ULONG connection = 0;
  ASSERT_EQ(S_OK, store->Advise(0, nullptr, MASK, &sink, &connection));

  MemMessage *first = memAddMessage(memInbox(mail), {.subject = u"first"});
  std::thread arrivals([&] {
    for (int i = 0; i < ROUNDS; ++i)
      memAddMessage(memInbox(mail), {.subject = u"more"});
  });
  IMessage *message = open<IMessage>(memObject(first));
  for (int i = 0; i < ROUNDS; ++i) {
    SPropValue v{};
    v.ulPropTag = PR_MESSAGE_FLAGS;
    v.Value.l = i & 1;
    ASSERT_EQ(S_OK, message->SetProps(1, &v, nullptr));
    HRESULT hr;
    MAPIFreeBuffer(getOne(message, PR_MSG_STATUS, &hr));
  }
  message->Release();
  arrivals.join();
  ASSERT_TRUE(sink.waitFor(1 + 2 * ROUNDS));
  ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
  EXPECT_EQ(static_cast<std::size_t>(1 + 2 * ROUNDS), sink.notes().size());
  EXPECT_EQ(1 + 2 * ROUNDS, reads.load());
  EXPECT_EQ(S_OK, store->Unadvise(connection));
}

TEST_F(MapiRace, NothingArrivesAfterUnadviseReturns)
{
  MemMessage *m = memAddMessage(memInbox(mail), {.subject = u"x"});
  for (int round = 0; round < 20; ++round) {
    RecordingSink sink;
    std::atomic<bool> unadvised{false};
    std::atomic<int> late{0};
    sink.onNotify = [&](ULONG, LPNOTIFICATION) {
      if (unadvised.load())
        ++late;
    };
    ULONG connection = 0;
    ASSERT_EQ(S_OK, store->Advise(0, nullptr, MASK, &sink, &connection));
    std::atomic<bool> stop{false};
    std::thread changes([&] {
      while (!stop.load())
        memSetProp(memObject(m), mapiLong(PR_MESSAGE_FLAGS, 0));
    });
    ASSERT_TRUE(sink.waitFor(1));
    ASSERT_EQ(S_OK, store->Unadvise(connection));
    unadvised = true;
    stop = true;
    changes.join();
    ASSERT_TRUE(MAPIWaitForNotifications(WAIT_MS));
    EXPECT_EQ(0, late.load());
    EXPECT_EQ(0u, sink.refs.load());
  }
}

TEST(MapiRaceLogoff, LogoffWhileNotificationsStream)
{
  MemInstall mem;
  MemStore *mail = memAddStore(mem.world, u"Mail");
  for (int round = 0; round < 20; ++round) {
    IMAPISession *session = nullptr;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, 0, &session));
    MapiEntryBytes id = memEntryId(memObject(mail));
    IMsgStore *store = nullptr;
    ASSERT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                          nullptr, 0, &store));
    RecordingSink sink;
    ULONG connection = 0;
    ASSERT_EQ(S_OK, store->Advise(0, nullptr, MASK, &sink, &connection));
    std::atomic<bool> stop{false};
    std::thread arrivals([&] {
      while (!stop.load())
        memAddMessage(memInbox(mail), {.subject = u"m"});
    });
    ASSERT_TRUE(sink.waitFor(1));
    EXPECT_EQ(S_OK, session->Logoff(0, 0, 0));
    EXPECT_EQ(0u, sink.refs.load());
    stop = true;
    arrivals.join();
    store->Release();
    session->Release();
  }
  EXPECT_EQ(0u, memOpenSessions(mem.world));
}

} // namespace
