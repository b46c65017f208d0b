#include "engine/in_progress.h"

#include <cstring>
#include <new>

namespace {

bool sameId(const InProgressEntry *e, ULONG size, const BYTE *id)
{
  return e->entryIdSize == size && (size == 0 || std::memcmp(e->entryId, id, size) == 0);
}

InProgressEntry *findEntry(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  for (InProgressEntry *e = watcher->inProgress; e; e = e->next)
    if (sameId(e, size, id))
      return e;
  return nullptr;
}

void freeEntry(InProgressEntry *e)
{
  delete[] e->entryId;
  delete e;
}

// Pushes an entry; the caller holds inProgressLock.
bool pushEntry(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  auto *entry = new (std::nothrow) InProgressEntry{size, nullptr, false, watcher->inProgress};
  if (!entry)
    return false;
  if (size > 0) {
    entry->entryId = new (std::nothrow) BYTE[size];
    if (!entry->entryId) {
      delete entry;
      return false;
    }
    std::memcpy(entry->entryId, id, size);
  }
  watcher->inProgress = entry;
  return true;
}

} // namespace

bool isInProgress(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  CriticalSectionGuard guard(&watcher->inProgressLock);
  return findEntry(watcher, size, id) != nullptr;
}

bool endProgress(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  CriticalSectionGuard guard(&watcher->inProgressLock);
  for (InProgressEntry **link = &watcher->inProgress; *link; link = &(*link)->next) {
    InProgressEntry *e = *link;
    if (sameId(e, size, id)) {
      bool refresh = e->refreshWanted;
      *link = e->next;
      freeEntry(e);
      return refresh;
    }
  }
  return false;
}

bool claimProgress(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  CriticalSectionGuard guard(&watcher->inProgressLock);
  if (findEntry(watcher, size, id))
    return false;
  return pushEntry(watcher, size, id);
}

bool requestRefresh(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  CriticalSectionGuard guard(&watcher->inProgressLock);
  InProgressEntry *e = findEntry(watcher, size, id);
  if (e)
    e->refreshWanted = true;
  return e != nullptr;
}

void freeInProgressList(StoreWatcher *watcher)
{
  CriticalSectionGuard guard(&watcher->inProgressLock);
  while (InProgressEntry *e = watcher->inProgress) {
    watcher->inProgress = e->next;
    freeEntry(e);
  }
}
