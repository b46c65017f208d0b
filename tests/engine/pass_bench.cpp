// The processing pass on the memory provider: a full scan of the Inbox
// (records built from the store) and a revisit of the cached records against
// 50 rules, the work of every timer tick, which must stay far below the
// tick's 5 seconds. Baselines in the same run: the scan of a tenth of the
// messages (a linear scan costs a tenth) and the bare scoring of the same
// records against the same rules (what a revisit cannot do without).
#include "engine/pass.h"
#include "engine/session.h"
#include "engine/store_watcher.h"
#include "platform/clock/clock.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/memory/memory_mapi.h"
#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "rules/match.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr ULONGLONG START_TIME = 133485408000000000ULL; // 2024-01-01
constexpr int RULES = 50;

void setText(WCHAR (&field)[RULE_TEXT_CHARS], const std::string &text)
{
  wstrCopy(field, RULE_TEXT_CHARS, utf8ToUtf16(text));
}

// 50 rules of every kind. Some match some messages, but no winner changes
// anything: the messages they match are read already and the rules only
// mark as read, so every scan and revisit does the same work.
void addBenchRules()
{
  for (int i = 0; i < RULES; ++i) {
    Rule *r = newRule();
    r->enabled = 1;
    std::string n = std::to_string(i);
    switch (i % 10) {
    case 0: setText(r->from, "sender" + n + "@"), setText(r->moveTo, "From" + n); break;
    case 1: setText(r->subject, "weekly report " + n), r->markAsRead = 1; break;
    case 2: setText(r->to, "team" + n), setText(r->moveTo, "Team" + n); break;
    case 3: r->sizeLimit = -(1000 + i), setText(r->from, "tiny"); break;
    case 4: r->isRead = 1, r->olderThan = 60 * 24 * 365, setText(r->moveTo, "Old"); break;
    case 5: r->hasAttach = 1, setText(r->subject, "invoice " + n), setText(r->moveTo, "Invoices"); break;
    case 6: setText(r->from, ">> Known users <<"), setText(r->subject, "urgent"), setText(r->moveTo, "Known"); break;
    case 7: setText(r->mailbox, "Elsewhere"), setText(r->from, "a"), setText(r->moveTo, "Never"); break;
    case 8: setText(r->subject, "report"), r->markAsRead = 1; break;
    default: setText(r->from, "list" + n), setText(r->to, "all"), setText(r->moveTo, "Lists"); break;
    }
    appendRule(r);
  }
}

std::size_t cachedRecordsOf(StoreWatcher *watcher)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  return cacheSize(&watcher->records);
}

// A world holding one store whose Inbox has `count` messages, installed.
struct BenchWorld {
  explicit BenchWorld(int count)
  {
    clockSetForTest(1000000, START_TIME);
    setenv("QUILLMARSH_ROOT", root.path.c_str(), 1);
    createReadAgeLock();
    createKnownUsersLock();
    addKnownUser(u"friend@example.org", true);
    addBenchRules();
    MemStore *store = memAddStore(install.world, u"Mail");
    memSetNotify(install.world, false);
    for (int i = 0; i < count; ++i) {
      std::string n = std::to_string(i);
      memAddMessage(memInbox(store),
                    {.from = utf8ToUtf16("Person " + n + " <person" + n + "@example.org>"),
                     .fromName = utf8ToUtf16("Person " + n),
                     .to = u"me@example.org",
                     .cc = i % 3 ? u"" : u"Team List <team@example.org>",
                     .subject = utf8ToUtf16((i % 7 ? "Re: news " : "report ") + n),
                     .size = 2000 + (i % 5000),
                     .read = true,
                     .attach = static_cast<unsigned short>(i % 4 == 0)});
    }
    memSetNotify(install.world, true);
  }

  ~BenchWorld()
  {
    closeSession();
    clearRules();
    clearKnownUsers();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    clockUseReal();
    unsetenv("QUILLMARSH_ROOT");
  }

  TempDir root;        // the data root (the checkpoint marker is written there)
  MemInstall install;  // the messaging world
};

void BM_FullScan(benchmark::State &state)
{
  BenchWorld bench(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    openSession(); // one watcher, whose set-up runs the full scan
    state.PauseTiming();
    benchmark::DoNotOptimize(cachedRecordsOf(watcherList->watcher));
    closeSession();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Revisit(benchmark::State &state)
{
  BenchWorld bench(static_cast<int>(state.range(0)));
  openSession();
  if (!watcherList || cachedRecordsOf(watcherList->watcher) != static_cast<std::size_t>(state.range(0))) {
    state.SkipWithError("the scan did not cache every message");
    return;
  }
  for (auto _ : state) {
    clockAdvance(5000);
    revisitAllStores();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The scoring alone: the same records, taken out of a scan, against the
// same rules, as the revisit's choice of rule does it.
void BM_ScoreOnly(benchmark::State &state)
{
  BenchWorld bench(static_cast<int>(state.range(0)));
  openSession();
  std::vector<MessageInfo *> records;
  StoreWatcher *w = watcherList->watcher;
  for (RecordSlot *slot = w->records.first; slot; slot = slot->after)
    records.push_back(slot->record);
  for (auto _ : state) {
    int best = 0;
    for (MessageInfo *m : records)
      for (const Rule *rule = ruleList; rule; rule = rule->next)
        if (!rule->mailbox[0])
          best += matchRule(m, rule);
    benchmark::DoNotOptimize(best);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_FullScan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Revisit)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreOnly)->Arg(10000)->Unit(benchmark::kMillisecond);
