// matchRule over 10,000 message records against 50 rules of a realistic mix
// (sender and recipient words, known users, subjects, sizes, ages, read
// state with read ages). Matching lower-cases the records' texts in place,
// so a first pass (texts as the store gives them) and a revisit (texts
// already lower-cased) are measured apart; the first pass restores the
// records from a pristine copy each time, and restoring alone is the
// baseline.
#include "services/settings.h"
#include "platform/clock/clock.h"
#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "rules/match.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int RECORDS = 10000;
constexpr int RULES = 50;

const char *const firstNames[] = {"Anna", "Boris", "Chen", "Dmitri", "Eva", "Farid", "Greta", "Hiro",
                                  "Ines", "Jonas", "Kira", "Lars", "Maria", "Nikos", "Olga", "Pavel"};
const char *const lastNames[] = {"Smith", "Jones", "Ivanova", "Schmidt", "Rossi", "Tanaka", "Novak",
                                 "Garcia", "Dubois", "Kowalski", "Larsen", "Meyer"};
const char *const domains[] = {"Example.org", "Mail.Example.com", "Lists.Project.net", "Corp.Example.de"};
const char *const subjects[] = {"Weekly report for", "Re: Meeting on", "Invoice number", "[dev] Build failed on",
                                "Fwd: Holiday photos from", "Your order has shipped", "Newsletter issue",
                                "Re: Re: Question about the budget of"};

struct Data {
  std::vector<MessageInfo> pristine; // the records as the store gives them
  std::vector<MessageInfo> records;  // the records matching works on
  std::vector<Rule> rules;           // 50 enabled rules
  TempDir root;                      // registry root for the checkpoints
};

std::u16string u16(const std::string &s) { return utf8ToUtf16(s); }

void setRuleText(WCHAR (&field)[RULE_TEXT_CHARS], const char *text) { wstrCopy(field, RULE_TEXT_CHARS, u16(text)); }

Data &data()
{
  static Data *d = [] {
    auto *d = new Data;
    setenv("QUILLMARSH_ROOT", d->root.path.c_str(), 1);
    createKnownUsersLock();
    createReadAgeLock();
    clockSetForTest(0, 133485408000000000ull);
    maxDownloadKB = 500;
    std::mt19937 rng(42);
    auto pick = [&](auto &array) { return array[rng() % std::size(array)]; };

    d->pristine.resize(RECORDS);
    for (int i = 0; i < RECORDS; ++i) {
      MessageInfo &m = d->pristine[static_cast<std::size_t>(i)];
      m = MessageInfo{};
      std::string first = pick(firstNames), last = pick(lastNames), domain = pick(domains);
      std::string address = first + "." + last + std::to_string(i % 97) + "@" + domain;
      setMessageText(m.senderName, u16(first + " " + last).c_str());
      setMessageText(m.senderAddress, u16(address).c_str());
      setMessageText(m.toLine, u16("Team-" + std::to_string(i % 7) + "@Corp.Example.de").c_str());
      if (i % 3 == 0)
        setMessageText(m.ccLine, u16(std::string(pick(firstNames)) + "@Example.org").c_str());
      setMessageText(m.messageSubject,
                     u16(std::string(pick(subjects)) + " " + pick(firstNames) + " #" + std::to_string(i)).c_str());
      m.size = static_cast<std::int32_t>(rng() % 200000);
      m.ageMinutes = static_cast<std::int32_t>(rng() % 20000);
      m.messageFlags = i % 2;
      m.status = (i % 10 == 0) ? 0x00010000 : 0;
      m.hasAttachments = (i % 5 == 0);
      // Entry ids point into a table that lives as long as the data.
      static std::vector<std::uint32_t> ids(RECORDS);
      ids[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i) * 2654435761u;
      m.entryIdSize = sizeof(std::uint32_t);
      m.entryId = reinterpret_cast<BYTE *>(&ids[static_cast<std::size_t>(i)]);
      // Every fourth sender is known.
      if (i % 4 == 0)
        addKnownUser(u16(address).c_str(), true);
    }
    d->records = d->pristine;

    d->rules.resize(RULES);
    for (int r = 0; r < RULES; ++r) {
      Rule &rule = d->rules[static_cast<std::size_t>(r)];
      rule = Rule{};
      rule.enabled = 1;
      switch (r % 10) {
      case 0: setRuleText(rule.from, lastNames[r % std::size(lastNames)]); break;
      case 1: setRuleText(rule.from, ">> Known users <<"); rule.download = 1; break;
      case 2: setRuleText(rule.subject, r % 4 ? "invoice" : "weekly report"); setRuleText(rule.moveTo, "Bills"); break;
      case 3: setRuleText(rule.to, "team-3"); setRuleText(rule.from, "example.org"); break;
      case 4: rule.sizeLimit = (r % 4 ? -1 : 1) * 50 * 1024; setRuleText(rule.moveTo, "Big"); break;
      case 5: rule.olderThan = 60 * 24 * 7; setRuleText(rule.moveTo, "Old"); break;
      case 6: rule.isRead = 1; setRuleText(rule.moveTo, "Read"); break;
      case 7: rule.isRead = 1; rule.olderThan = 60; rule.download = 1; setRuleText(rule.moveTo, "Later"); break;
      case 8: setRuleText(rule.subject, "re: meeting"); setRuleText(rule.from, firstNames[r % std::size(firstNames)]); rule.hasAttach = 1; break;
      case 9: setRuleText(rule.from, "nobody-matches-this"); setRuleText(rule.subject, "x"); break;
      }
    }
    return d;
  }();
  return *d;
}

int evaluate(Data &d)
{
  int best = 0;
  for (MessageInfo &m : d.records)
    for (const Rule &rule : d.rules)
      best += matchRule(&m, &rule);
  return best;
}

void restore(Data &d)
{
  for (std::size_t i = 0; i < d.records.size(); ++i)
    d.records[i] = d.pristine[i];
}

void BM_RestoreRecords(benchmark::State &state)
{
  Data &d = data();
  for (auto _ : state) {
    restore(d);
    benchmark::DoNotOptimize(d.records.data());
  }
}

// The first pass over fresh records: restoring them is part of the time.
void BM_MatchFirstPass(benchmark::State &state)
{
  Data &d = data();
  for (auto _ : state) {
    restore(d);
    benchmark::DoNotOptimize(evaluate(d));
  }
  state.SetItemsProcessed(state.iterations() * RECORDS * RULES);
}

// A revisit: the texts were lower-cased by the passes before.
void BM_MatchRevisit(benchmark::State &state)
{
  Data &d = data();
  restore(d);
  (void)evaluate(d); // the pass that lower-cases the texts
  for (auto _ : state)
    benchmark::DoNotOptimize(evaluate(d));
  state.SetItemsProcessed(state.iterations() * RECORDS * RULES);
}

} // namespace

BENCHMARK(BM_RestoreRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchFirstPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchRevisit)->Unit(benchmark::kMillisecond);
