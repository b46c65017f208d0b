// `qm-rules explain` over 10,000 Maildir messages and 50 rules, as text and
// as JSON (target: at most 2 s). Baseline in the same run: the program's own
// first pass over the same stores (open every message, read it, score it).
#include "engine/session.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/shell/shell.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "tests/support/temp_root.h"
#include "tools/rulestool/rulestool.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int MESSAGES = 10000;
constexpr int RULES = 50;

std::vector<std::string> ruleArgs(int r)
{
  std::string n = std::to_string(r);
  switch (r % 10) {
  case 0: return {"--from", "sender" + n + "@", "--move-to", "From" + n};
  case 1: return {"--subject", "report " + n, "--mark-read"};
  case 2: return {"--to", "team" + n, "--move-to", "Team" + n};
  case 3: return {"--at-most", "1", "--from", "tiny"};
  case 4: return {"--read", "--older-than", "525600", "--move-to", "Old"};
  case 5: return {"--attachments", "--subject", "invoice " + n, "--move-to", "Invoices"};
  case 6: return {"--known-users", "--subject", "urgent", "--move-to", "Known"};
  case 7: return {"--mailbox", "Elsewhere", "--from", "a", "--move-to", "Never"};
  case 8: return {"--subject", "zzz", "--download"};
  default: return {"--from", "list" + n, "--to", "all", "--move-to", "Lists"};
  }
}

// The scene, made once: 10,000 messages from 200 senders and 50 rules of
// every kind, written by the tool itself.
struct Scene {
  TempDir dir;
  Scene()
  {
    setenv("QUILLMARSH_ROOT", dir.path.c_str(), 1);
    fs::path inbox = dir.path / "Mail/Local/Inbox";
    for (const char *sub : {"cur", "new", "tmp"})
      fs::create_directories(inbox / sub);
    for (int i = 0; i < MESSAGES; ++i) {
      std::ofstream out(inbox / "cur" /
                        (std::to_string(1700000000 + i) + ".M" + std::to_string(i) + ".bench:2," + (i % 3 ? "" : "S")));
      out << "From: Sender " << i % 200 << " <sender" << i % 200 << "@example.org>\r\n"
          << "To: me@example.org\r\nCc: team" << i % 7 << "@example.org\r\n"
          << "Subject: Report " << i << " about project " << i % 13 << "\r\n"
          << "Date: Tue, 8 Dec 2026 10:00:00 +0000\r\nMessage-ID: <" << i << "@bench>\r\n"
          << "Content-Type: text/plain; charset=utf-8\r\n\r\n"
          << std::string(1500 + (i % 40) * 100, 'x') << "\r\n";
    }
    std::ostringstream out, err;
    runRulesTool({"enable", "1"}, out, err); // the tool's process set-up, and a rules file
    for (int r = 3; r < RULES; ++r) {
      std::vector<std::string> add{"add"};
      for (const std::string &a : ruleArgs(r))
        add.push_back(a);
      if (runRulesTool(add, out, err) != 0)
        std::abort();
    }
    shellRecordForTest();
  }
};

Scene &scene()
{
  static Scene s;
  return s;
}

void BM_Explain(benchmark::State &state)
{
  scene();
  std::size_t bytes = 0;
  for (auto _ : state) {
    // Written to a file, as a person's shell redirection does.
    std::ofstream out(scene().dir.path / "explained.txt", std::ios::binary | std::ios::trunc);
    std::ostringstream err;
    if (runRulesTool(state.range(0) ? std::vector<std::string>{"explain", "--json"}
                                    : std::vector<std::string>{"explain"},
                     out, err) != 0)
      state.SkipWithError("explain failed");
    bytes = static_cast<std::size_t>(out.tellp());
  }
  state.counters["messages"] = MESSAGES;
  state.counters["rules"] = RULES;
  state.counters["output_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_Explain)->Arg(0)->Arg(1)->ArgName("json")->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: the program's first pass over the same stores.
void BM_ProgramFirstPass(benchmark::State &state)
{
  scene();
  MapiProvider *provider = createMaildirProvider(MaildirOptions{false, false});
  for (auto _ : state) {
    MAPISetProvider(provider);
    loadRulesFile();
    openSession();
    state.PauseTiming();
    closeSession();
    clearRules();
    state.ResumeTiming();
  }
  MAPISetProvider(nullptr);
  destroyMaildirProvider(provider);
}
BENCHMARK(BM_ProgramFirstPass)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
