// From start to the end of the first pass: the program's start-up work on a
// Maildir store with 10,000 Inbox messages and 50 rules (load the rules and
// known users, open the session, whose watcher scans the Inbox, and the first
// timer pass), against the floor of reading each message file once.
#include "engine/pass.h"
#include "engine/session.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/shell/shell.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int MESSAGES = 10000;
constexpr int RULES = 50;

// The scene, made once: 10,000 messages from 200 senders, a mix of 50 rules
// whose actions leave the messages where they are (so every run starts alike).
struct Scene {
  TempDir dir;
  Scene()
  {
    setenv("QUILLMARSH_ROOT", dir.path.c_str(), 1);
    fs::path inbox = dir.path / "Mail/Local/Inbox";
    for (const char *sub : {"cur", "new", "tmp"})
      fs::create_directories(inbox / sub);
    for (int i = 0; i < MESSAGES; ++i) {
      std::ofstream out(inbox / "cur" / (std::to_string(1700000000 + i) + ".M" + std::to_string(i) +
                                         ".bench:2," + (i % 3 ? "" : "S")));
      out << "From: Sender " << i % 200 << " <sender" << i % 200 << "@example.org>\r\n"
          << "To: me@example.org\r\nCc: team" << i % 7 << "@example.org\r\n"
          << "Subject: Report " << i << " about project " << i % 13 << "\r\n"
          << "Date: Tue, 8 Dec 2026 10:00:00 +0000\r\nMessage-ID: <" << i << "@bench>\r\n"
          << "Content-Type: text/plain; charset=utf-8\r\n\r\n"
          << std::string(1500 + (i % 40) * 100, 'x') << "\r\n";
    }
    for (int r = 0; r < RULES; ++r) {
      Rule *rule = newRule();
      rule->enabled = 1;
      std::u16string word = u"absent" + std::u16string(1, static_cast<char16_t>(u'a' + r % 26));
      switch (r % 5) {
      case 0: std::copy(word.begin(), word.end(), rule->subject); break;
      case 1: std::copy(word.begin(), word.end(), rule->from); break;
      case 2: std::copy(word.begin(), word.end(), rule->to); rule->isRead = 1; break;
      case 3: std::copy(std::begin(u">> Known users <<"), std::end(u">> Known users <<"), rule->from); break;
      case 4: rule->sizeLimit = 1024 * 1024; rule->olderThan = 60; break;
      }
      rule->download = 1;
      appendRule(rule);
    }
    createReadAgeLock();
    createKnownUsersLock();
    for (int s = 0; s < 200; s += 2)
      addKnownUser((u"known" + std::u16string(1, static_cast<char16_t>(u'0' + s % 10))).c_str(), true);
    saveRulesFile(true);
    saveKnownUsersFile(true);
    clearRules();
    MAPISetProvider(maildirProvider());
    shellRecordForTest();
  }
};

Scene &scene()
{
  static Scene s;
  return s;
}

void BM_StartToEndOfFirstPass(benchmark::State &state)
{
  scene();
  for (auto _ : state) {
    loadRulesFile();
    loadKnownUsersFile();
    openSession();
    revisitAllStores();
    state.PauseTiming();
    closeSession();
    clearRules();
    state.ResumeTiming();
  }
  state.counters["messages"] = MESSAGES;
}
BENCHMARK(BM_StartToEndOfFirstPass)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: every message file opened and read once.
void BM_ReadEachMessageOnce(benchmark::State &state)
{
  fs::path cur = scene().dir.path / "Mail/Local/Inbox/cur";
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const auto &e : fs::directory_iterator(cur)) {
      std::ifstream in(e.path(), std::ios::binary);
      std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      bytes += text.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ReadEachMessageOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
