#include "engine/record_cache.h"

#include <cstdint>

namespace {

std::string_view keyOf(ULONG size, const BYTE *id)
{
  return std::string_view(reinterpret_cast<const char *>(id), id ? size : 0);
}

std::string_view keyOf(const MessageInfo *record) { return keyOf(record->entryIdSize, record->entryId); }

bool isStale(const MessageInfo *record, DWORD now, DWORD staleMs)
{
  return static_cast<DWORD>(now - record->lastSeen) > staleMs;
}

bool isBefore(DWORD a, DWORD b) { return static_cast<std::int32_t>(a - b) < 0; }

// Sets the record's lastSeen to now, keeping every lastSeen within the
// cache's marks: seenSince moves back when the clock went back behind it.
void markSeenAt(RecordCache *cache, MessageInfo *record, DWORD now)
{
  record->lastSeen = now;
  if (isBefore(now, cache->seenSince))
    cache->seenSince = now;
  if (isBefore(cache->latestNow, now))
    cache->latestNow = now;
}

void unlinkSlot(RecordCache *cache, RecordSlot *slot)
{
  (slot->before ? slot->before->after : cache->first) = slot->after;
  if (slot->after)
    slot->after->before = slot->before;
  cache->index.erase(keyOf(slot->record));
}

} // namespace

RecordSlot *cacheFind(RecordCache *cache, ULONG size, const BYTE *id)
{
  auto it = cache->index.find(keyOf(size, id));
  return it == cache->index.end() ? nullptr : &it->second;
}

RecordSlot *cacheSlotOf(RecordCache *cache, const MessageInfo *record)
{
  auto it = cache->index.find(keyOf(record));
  return it == cache->index.end() || it->second.record != record ? nullptr : &it->second;
}

RecordSlot *cachePush(RecordCache *cache, MessageInfo *record, DWORD now)
{
  auto [it, added] = cache->index.emplace(keyOf(record), RecordSlot{});
  if (!added)
    return nullptr;
  RecordSlot *slot = &it->second;
  slot->record = record;
  slot->after = cache->first;
  if (cache->first)
    cache->first->before = slot;
  cache->first = slot;
  if (cache->index.size() == 1)
    cache->seenSince = cache->latestNow = now; // the only record: the marks start afresh
  markSeenAt(cache, record, now);
  return slot;
}

void cacheMarkSeen(RecordCache *cache, RecordSlot *slot, DWORD now) { markSeenAt(cache, slot->record, now); }

bool cacheUnlink(RecordCache *cache, MessageInfo *record)
{
  RecordSlot *slot = cacheSlotOf(cache, record);
  if (!slot)
    return false;
  unlinkSlot(cache, slot);
  return true;
}

std::vector<MessageInfo *> cacheTakeStale(RecordCache *cache, DWORD now, DWORD staleMs,
                                          const std::function<bool(const MessageInfo *)> &keep)
{
  std::vector<MessageInfo *> taken;
  // Every lastSeen lies between seenSince and latestNow: while the clock has
  // not gone back behind latestNow, none is older than seenSince is now.
  if (!isBefore(now, cache->latestNow) && static_cast<DWORD>(now - cache->seenSince) <= staleMs) {
    cache->latestNow = now;
    return taken;
  }
  DWORD oldestAge = 0;
  DWORD oldestSeen = now;
  for (RecordSlot *slot = cache->first; slot;) {
    RecordSlot *after = slot->after;
    MessageInfo *record = slot->record;
    if (isStale(record, now, staleMs) && !keep(record)) {
      unlinkSlot(cache, slot);
      taken.push_back(record);
    } else if (static_cast<DWORD>(now - record->lastSeen) > oldestAge) {
      oldestAge = static_cast<DWORD>(now - record->lastSeen);
      oldestSeen = record->lastSeen;
    }
    slot = after;
  }
  cache->seenSince = oldestSeen;
  cache->latestNow = now;
  return taken;
}

std::vector<MessageInfo *> cacheTakeAll(RecordCache *cache)
{
  std::vector<MessageInfo *> taken;
  taken.reserve(cache->index.size());
  for (RecordSlot *slot = cache->first; slot; slot = slot->after)
    taken.push_back(slot->record);
  cache->index.clear();
  cache->first = nullptr;
  return taken;
}

std::size_t cacheSize(const RecordCache *cache) { return cache->index.size(); }
