// Loading and saving 10,000 rules, against plain reads and writes of the
// same bytes as the baseline.
#include "rules/rules_file.h"
#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int RULES = 10000;

void fillRules()
{
  clearRules();
  for (int i = 0; i < RULES; ++i) {
    Rule *rule = newRule();
    rule->enabled = 1;
    for (int c = 0; c < 20; ++c)
      rule->subject[c] = static_cast<WCHAR>(u'a' + (i + c) % 26);
    rule->sizeLimit = i;
    appendRule(rule);
  }
}

FILE *savedRules()
{
  fillRules();
  FILE *f = std::tmpfile();
  saveRules(f, false);
  clearRules();
  return f;
}

void BM_SaveRules(benchmark::State &state)
{
  fillRules();
  FILE *f = std::tmpfile();
  for (auto _ : state) {
    std::rewind(f);
    saveRules(f, false);
    std::fflush(f);
  }
  std::fclose(f);
  clearRules();
  state.SetBytesProcessed(state.iterations() * (14 + RULES * RULE_FILE_RECORD_SIZE));
}
BENCHMARK(BM_SaveRules)->Unit(benchmark::kMillisecond);

void BM_LoadRules(benchmark::State &state)
{
  FILE *f = savedRules();
  for (auto _ : state) {
    std::rewind(f);
    loadRules(f, false);
    benchmark::DoNotOptimize(ruleList);
  }
  std::fclose(f);
  if (countRules() != RULES)
    state.SkipWithError("rules lost");
  clearRules();
  state.SetBytesProcessed(state.iterations() * (14 + RULES * RULE_FILE_RECORD_SIZE));
}
BENCHMARK(BM_LoadRules)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes in one write and one read.
void BM_BaselineWriteBytes(benchmark::State &state)
{
  std::vector<char> bytes(14 + RULES * RULE_FILE_RECORD_SIZE, 'x');
  FILE *f = std::tmpfile();
  for (auto _ : state) {
    std::rewind(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
  }
  std::fclose(f);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_BaselineWriteBytes)->Unit(benchmark::kMillisecond);

void BM_BaselineReadBytes(benchmark::State &state)
{
  FILE *f = savedRules();
  std::vector<char> bytes(14 + RULES * RULE_FILE_RECORD_SIZE);
  for (auto _ : state) {
    std::rewind(f);
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
  }
  std::fclose(f);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_BaselineReadBytes)->Unit(benchmark::kMillisecond);

// The whole save of the rules file: temporary file, sync, rename.
void BM_SaveRulesFile(benchmark::State &state)
{
  TempDir root;
  setenv("QUILLMARSH_ROOT", root.path.c_str(), 1);
  fillRules();
  for (auto _ : state)
    if (!saveRulesFile(true))
      state.SkipWithError("save failed");
  clearRules();
  unsetenv("QUILLMARSH_ROOT");
}
BENCHMARK(BM_SaveRulesFile)->Unit(benchmark::kMillisecond);

} // namespace
