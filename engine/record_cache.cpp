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

void unlinkSeen(RecordCache *cache, RecordSlot *slot)
{
  (slot->older ? slot->older->newer : cache->oldestSeen) = slot->newer;
  (slot->newer ? slot->newer->older : cache->newestSeen) = slot->older;
  slot->older = slot->newer = nullptr;
}

void appendSeen(RecordCache *cache, RecordSlot *slot)
{
  slot->older = cache->newestSeen;
  slot->newer = nullptr;
  (cache->newestSeen ? cache->newestSeen->newer : cache->oldestSeen) = slot;
  cache->newestSeen = slot;
}

// Notes the tick count of a call: one before the latest seen so far means
// the clock went back, and the seen order no longer follows lastSeen.
void noteNow(RecordCache *cache, DWORD now)
{
  if (cache->anyNow && static_cast<std::int32_t>(now - cache->latestNow) < 0)
    cache->clockWentBack = true;
  else
    cache->latestNow = now;
  cache->anyNow = true;
}

void unlinkSlot(RecordCache *cache, RecordSlot *slot)
{
  MessageInfo *record = slot->record;
  if (slot->before) {
    slot->before->record->next = record->next;
    slot->before->after = slot->after;
  } else {
    cache->head = record->next;
    cache->firstSlot = slot->after;
  }
  if (slot->after)
    slot->after->before = slot->before;
  unlinkSeen(cache, slot);
  record->next = nullptr;
  cache->index.erase(keyOf(record));
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
  slot->before = nullptr;
  slot->after = cache->firstSlot;
  if (cache->firstSlot)
    cache->firstSlot->before = slot;
  cache->firstSlot = slot;
  record->next = cache->head;
  cache->head = record;
  noteNow(cache, now);
  record->lastSeen = now;
  appendSeen(cache, slot);
  return slot;
}

void cacheMarkSeen(RecordCache *cache, RecordSlot *slot, DWORD now)
{
  noteNow(cache, now);
  slot->record->lastSeen = now;
  unlinkSeen(cache, slot);
  appendSeen(cache, slot);
}

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
  noteNow(cache, now);
  bool full = !cache->swept || cache->clockWentBack ||
              static_cast<DWORD>(now - cache->lastFullSweep) > staleMs;
  if (full) {
    for (RecordSlot *slot = cache->firstSlot; slot;) {
      RecordSlot *after = slot->after;
      MessageInfo *record = slot->record;
      if (isStale(record, now, staleMs) && !keep(record)) {
        unlinkSlot(cache, slot);
        taken.push_back(record);
      }
      slot = after;
    }
    cache->swept = true;
    cache->clockWentBack = false;
    cache->lastFullSweep = now;
    cache->latestNow = now;
    return taken;
  }
  // Seen order is lastSeen order while the clock runs forward: the stale
  // records are the oldest seen, up to the first fresh one.
  for (RecordSlot *slot = cache->oldestSeen; slot;) {
    RecordSlot *newer = slot->newer;
    MessageInfo *record = slot->record;
    if (!isStale(record, now, staleMs))
      break;
    if (!keep(record)) {
      unlinkSlot(cache, slot);
      taken.push_back(record);
    }
    slot = newer;
  }
  return taken;
}

std::vector<MessageInfo *> cacheTakeAll(RecordCache *cache)
{
  std::vector<MessageInfo *> taken;
  taken.reserve(cache->index.size());
  for (MessageInfo *record = cache->head; record;) {
    MessageInfo *next = record->next;
    record->next = nullptr;
    taken.push_back(record);
    record = next;
  }
  cache->index.clear();
  cache->head = nullptr;
  cache->firstSlot = cache->oldestSeen = cache->newestSeen = nullptr;
  return taken;
}

std::size_t cacheSize(const RecordCache *cache) { return cache->index.size(); }
