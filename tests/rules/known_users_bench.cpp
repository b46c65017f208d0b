// isKnownUser and addKnownUser against 100,000 entries, with a walk of the
// list (how the lookup works without the address index) as the baseline.
#include "platform/text/wstr.h"
#include "rules/known_users.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int ENTRIES = 100000;

std::u16string address(int i)
{
  return u"User" + utf8ToUtf16(std::to_string(i)) + u"@Example.org";
}

// A list of ENTRIES known users, made once.
void ensureList()
{
  static bool made = [] {
    createKnownUsersLock();
    for (int i = 0; i < ENTRIES; ++i)
      addKnownUser(address(i).c_str(), true);
    return true;
  }();
  benchmark::DoNotOptimize(made);
}

// The first entry equal to address ignoring case, by walking the list.
bool walkIsKnown(const WCHAR *a)
{
  CriticalSectionGuard guard(&knownUsersLock);
  for (const KnownUser *u = knownUsers; u; u = u->next)
    if (wstrICmp(u->address, a) == 0)
      return u->level >= KNOWN_USER_KNOWN;
  return false;
}

// Asks for the last entry added (in other case), the worst case of a walk.
void BM_IsKnownUser(benchmark::State &state)
{
  ensureList();
  std::u16string probe = u"user" + utf8ToUtf16(std::to_string(ENTRIES - 1)) + u"@EXAMPLE.ORG";
  for (auto _ : state)
    benchmark::DoNotOptimize(isKnownUser(probe.c_str()));
  if (!isKnownUser(probe.c_str()))
    state.SkipWithError("not found");
}
BENCHMARK(BM_IsKnownUser);

void BM_IsKnownUserAbsent(benchmark::State &state)
{
  ensureList();
  for (auto _ : state)
    benchmark::DoNotOptimize(isKnownUser(u"nobody.at.all@example.org"));
}
BENCHMARK(BM_IsKnownUserAbsent);

void BM_BaselineWalkIsKnown(benchmark::State &state)
{
  ensureList();
  std::u16string probe = u"user" + utf8ToUtf16(std::to_string(ENTRIES - 1)) + u"@EXAMPLE.ORG";
  for (auto _ : state)
    benchmark::DoNotOptimize(walkIsKnown(probe.c_str()));
}
BENCHMARK(BM_BaselineWalkIsKnown)->Unit(benchmark::kMicrosecond);

// A sender already known: the common case for contacts at start-up.
void BM_AddKnownUserPresent(benchmark::State &state)
{
  ensureList();
  std::u16string probe = address(ENTRIES / 2);
  for (auto _ : state)
    addKnownUser(probe.c_str(), true);
}
BENCHMARK(BM_AddKnownUserPresent);

// New senders appended to a fresh list of 100,000 (growing to 110,000).
void BM_AddKnownUserNew(benchmark::State &state)
{
  ensureList();
  clearKnownUsers();
  for (int i = 0; i < ENTRIES; ++i)
    addKnownUser(address(i).c_str(), true);
  int next = 0;
  WCHAR probe[32] = u"new0000000@example.org";
  for (auto _ : state) {
    int n = next++;
    for (int d = 9; d >= 3; --d, n /= 10)
      probe[d] = static_cast<WCHAR>(u'0' + n % 10);
    addKnownUser(probe, false);
  }
  if (countKnownUsers() != static_cast<std::size_t>(ENTRIES + next))
    state.SkipWithError("entries lost");
}
BENCHMARK(BM_AddKnownUserNew)->Iterations(10000);

} // namespace
