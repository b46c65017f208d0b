// What the processing pass pays per store call: reading one property (ten per
// new message record) and walking a contents table one row at a time, against
// a bare buffer allocation as the baseline.
#include "mapi_test_support.h"

#include <benchmark/benchmark.h>

namespace {

// A session on a store whose Inbox holds `messages` messages.
struct Scene {
  explicit Scene(int messages)
  {
    MemStore *mail = memAddStore(mem.world, u"Mail");
    for (int i = 0; i < messages; ++i)
      memAddMessage(memInbox(mail), {.from = u"ann@example.org", .subject = u"Subject of a message"});
    MAPILogonEx(0, nullptr, nullptr, 0, &session);
    MapiEntryBytes id = memEntryId(memObject(memInbox(mail)));
    IUnknown *unk = nullptr;
    session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, nullptr, &unk);
    inbox = static_cast<IMAPIFolder *>(static_cast<IUnknown *>(unk));
    MapiEntryBytes mid = memEntryId(memObject(memMessages(memInbox(mail)).front()));
    session->OpenEntry(static_cast<ULONG>(mid.size()), reinterpret_cast<LPENTRYID>(mid.data()), nullptr, 0, nullptr, &unk);
    message = static_cast<IMessage *>(static_cast<IUnknown *>(unk));
  }
  ~Scene()
  {
    message->Release();
    inbox->Release();
    session->Logoff(0, 0, 0);
    session->Release();
  }
  MemInstall mem;                  // the world
  IMAPISession *session = nullptr; // logged on
  IMAPIFolder *inbox = nullptr;    // the Inbox, opened
  IMessage *message = nullptr;     // its first message, opened
};

void BM_AllocateAndFree(benchmark::State &state)
{
  for (auto _ : state) {
    void *p = nullptr;
    MAPIAllocateBuffer(sizeof(SPropValue), &p);
    void *more = nullptr;
    MAPIAllocateMore(64, p, &more);
    benchmark::DoNotOptimize(more);
    MAPIFreeBuffer(p);
  }
}
BENCHMARK(BM_AllocateAndFree);

void BM_GetPropsOneTag(benchmark::State &state)
{
  Scene scene(1);
  for (auto _ : state) {
    HRESULT hr;
    SPropValue *v = getOne(scene.message, PR_SUBJECT, &hr);
    benchmark::DoNotOptimize(v);
    MAPIFreeBuffer(v);
  }
}
BENCHMARK(BM_GetPropsOneTag);

void BM_ContentsTableRowByRow(benchmark::State &state)
{
  Scene scene(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    IMAPITable *table = nullptr;
    scene.inbox->GetContentsTable(0, &table);
    benchmark::DoNotOptimize(firstColumn(table).size());
    table->Release();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ContentsTableRowByRow)->Arg(100);

} // namespace
