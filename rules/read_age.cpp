#include "rules/read_age.h"

#include "platform/clock/clock.h"
#include "platform/sync/sync.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// One message seen in the read state.
struct ReadAgeEntry {
  std::uint32_t entryIdSize; // bytes of entryId
  BYTE *entryId;             // heap copy of the message's entry id
  ULONGLONG recorded;        // system time when it was first recorded (file time)
  ReadAgeEntry *next;        // next entry, null at the tail
};

CRITICAL_SECTION readAgeLock;       // guards the list below
ReadAgeEntry *readAges = nullptr;   // head of the table, unordered
ReadAgeEntry *readAgesTail = nullptr; // its last entry, where new ones go

bool sameId(const ReadAgeEntry *e, std::uint32_t size, const BYTE *id)
{
  return e->entryIdSize == size && (size == 0 || std::memcmp(e->entryId, id, size) == 0);
}

void freeEntry(ReadAgeEntry *e)
{
  delete[] e->entryId;
  delete e;
}

} // namespace

void createReadAgeLock() { InitializeCriticalSection(&readAgeLock); }

void deleteReadAgeLock()
{
  {
    CriticalSectionGuard guard(&readAgeLock);
    while (ReadAgeEntry *e = readAges) {
      readAges = e->next;
      freeEntry(e);
    }
    readAgesTail = nullptr;
  }
  DeleteCriticalSection(&readAgeLock);
}

std::int32_t readAgeSeconds(std::uint32_t entryIdSize, const BYTE *entryId)
{
  CriticalSectionGuard guard(&readAgeLock);
  ReadAgeEntry *found = readAges;
  while (found && !sameId(found, entryIdSize, entryId))
    found = found->next;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG nowCount = fileTimeToU64(now);
  if (found) {
    LONGLONG seconds = (static_cast<LONGLONG>(nowCount) - static_cast<LONGLONG>(found->recorded)) /
                       10'000'000;
    using Limits = std::numeric_limits<std::int32_t>;
    return static_cast<std::int32_t>(std::clamp<LONGLONG>(seconds, Limits::min(), Limits::max()));
  }
  auto *entry = new ReadAgeEntry{entryIdSize, entryIdSize ? new BYTE[entryIdSize] : nullptr, nowCount,
                                 nullptr};
  if (entryIdSize)
    std::memcpy(entry->entryId, entryId, entryIdSize);
  if (readAgesTail)
    readAgesTail->next = entry;
  else
    readAges = entry;
  readAgesTail = entry;
  return 0;
}

void forgetReadAge(std::uint32_t entryIdSize, const BYTE *entryId)
{
  CriticalSectionGuard guard(&readAgeLock);
  ReadAgeEntry *prev = nullptr;
  for (ReadAgeEntry *e = readAges; e; prev = e, e = e->next) {
    if (!sameId(e, entryIdSize, entryId))
      continue;
    (prev ? prev->next : readAges) = e->next;
    if (readAgesTail == e)
      readAgesTail = prev;
    freeEntry(e);
    return;
  }
}

std::size_t countReadAges()
{
  CriticalSectionGuard guard(&readAgeLock);
  std::size_t n = 0;
  for (ReadAgeEntry *e = readAges; e; e = e->next)
    ++n;
  return n;
}
