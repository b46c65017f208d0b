#include "rules/read_age.h"

#include "platform/clock/clock.h"
#include "platform/sync/sync.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// The table: a message's entry id bytes to the system time (file time) at
// which it was first seen read. Unordered, one entry per id; hashed, since
// every pass asks it once per read message and rule.
using ReadAges = std::unordered_map<std::string, ULONGLONG>;

CRITICAL_SECTION readAgeLock; // guards readAges
ReadAges *readAges = nullptr; // exists between createReadAgeLock and deleteReadAgeLock

std::string_view key(std::uint32_t size, const BYTE *id)
{
  return size ? std::string_view(reinterpret_cast<const char *>(id), size) : std::string_view();
}

} // namespace

void createReadAgeLock()
{
  InitializeCriticalSection(&readAgeLock);
  readAges = new ReadAges;
}

void deleteReadAgeLock()
{
  delete readAges;
  readAges = nullptr;
  DeleteCriticalSection(&readAgeLock);
}

std::int32_t readAgeSeconds(std::uint32_t entryIdSize, const BYTE *entryId)
{
  CriticalSectionGuard guard(&readAgeLock);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG nowCount = fileTimeToU64(now);
  std::string id(key(entryIdSize, entryId));
  auto [it, added] = readAges->try_emplace(std::move(id), nowCount);
  if (added)
    return 0;
  LONGLONG seconds = (static_cast<LONGLONG>(nowCount) - static_cast<LONGLONG>(it->second)) / 10'000'000;
  using Limits = std::numeric_limits<std::int32_t>;
  return static_cast<std::int32_t>(std::clamp<LONGLONG>(seconds, Limits::min(), Limits::max()));
}

void forgetReadAge(std::uint32_t entryIdSize, const BYTE *entryId)
{
  CriticalSectionGuard guard(&readAgeLock);
  (void)readAges->erase(std::string(key(entryIdSize, entryId))); // nothing when absent
}

std::size_t countReadAges()
{
  CriticalSectionGuard guard(&readAgeLock);
  return readAges->size();
}
