// decodeHeaderText throughput over a mix of real-world header values, in
// MB/s of header text. Baseline: converting the same values as plain text
// with code page 0, which every decode does at least once. Each run copies
// the value first (decoding changes it in place); the baseline copies too.
#include "engine/header_decode.h"
#include "platform/codepage/codepage.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> &values()
{
  static const std::vector<std::string> v = {
      "Weekly report for the project meeting on Tuesday",
      "Re: =?iso-8859-1?Q?Caf=E9_au_lait_=E0_la_cr=E8me?=",
      "=?utf-8?B?0J/RgNC40LLQtdGCLCDQvNC40YAhINCt0YLQviDRgtC10YHRgg==?=",
      "=?koi8-r?B?8NLJ18XUIM3J0g==?= =?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=",
      "=?iso-2022-jp?B?GyRCRnxLXDhsJE4lRiUtJTklSBsoQg==?=",
      "\"Smith, John\" <john.smith@example.org>, =?utf-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.de>",
      "[dev] =?UTF-8?Q?Build_failed_on_main_=E2=80=94_3_tests?= =?UTF-8?Q?_broken?=",
  };
  return v;
}

std::size_t totalBytes()
{
  std::size_t n = 0;
  for (const std::string &s : values())
    n += s.size();
  return n;
}

void BM_PlainConversion(benchmark::State &state)
{
  std::vector<WCHAR> out(1024);
  std::string copy;
  for (auto _ : state)
    for (const std::string &v : values()) {
      copy = v;
      benchmark::DoNotOptimize(MultiByteToWideChar(CP_ACP, 0, copy.c_str(), -1, out.data(), 1024));
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * totalBytes()));
}

void BM_DecodeHeaderText(benchmark::State &state)
{
  std::vector<WCHAR> out(1024);
  std::string copy;
  for (auto _ : state)
    for (const std::string &v : values()) {
      copy = v;
      decodeHeaderText(copy.data(), out.data(), out.size());
      benchmark::DoNotOptimize(out.data());
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * totalBytes()));
}

} // namespace

BENCHMARK(BM_PlainConversion);
BENCHMARK(BM_DecodeHeaderText);
