#include "rules/address_index.h"

#include "platform/text/wstr.h"

namespace {

// toLowerUnit with the ASCII case inline: hashing runs over every unit.
inline WCHAR lowerUnit(WCHAR c)
{
  if (c < 0x80)
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
  return toLowerUnit(c);
}

bool sameAddress(const WCHAR *a, const WCHAR *b)
{
  for (;; ++a, ++b) {
    if (*a != *b && lowerUnit(*a) != lowerUnit(*b))
      return false;
    if (!*a)
      return true;
  }
}

std::size_t mask(const AddressIndex *index)
{
  return index->slots.size() - 1;
}

// Doubles the table (or makes its first 16 slots) and places every slot again.
void grow(AddressIndex *index)
{
  std::vector<AddressSlot> old;
  old.swap(index->slots);
  index->slots.assign(old.empty() ? 16 : old.size() * 2, AddressSlot{0, nullptr, 0});
  for (const AddressSlot &slot : old) {
    if (!slot.first)
      continue;
    std::size_t i = slot.hash & mask(index);
    while (index->slots[i].first)
      i = (i + 1) & mask(index);
    index->slots[i] = slot;
  }
}

} // namespace

std::size_t addressHash(const WCHAR *address)
{
  std::size_t h = 14695981039346656037ull;
  for (; *address; ++address)
    h = (h ^ lowerUnit(*address)) * 1099511628211ull;
  return h;
}

AddressSlot *indexFind(AddressIndex *index, const WCHAR *address, std::size_t hash)
{
  if (index->slots.empty())
    return nullptr;
  for (std::size_t i = hash & mask(index);; i = (i + 1) & mask(index)) {
    AddressSlot &slot = index->slots[i];
    if (!slot.first)
      return nullptr;
    if (slot.hash == hash && sameAddress(slot.first->address, address))
      return &slot;
  }
}

void indexAdd(AddressIndex *index, KnownUser *user, std::size_t hash)
{
  if (AddressSlot *slot = indexFind(index, user->address, hash)) {
    ++slot->count;
    return;
  }
  if (2 * (index->used + 1) > index->slots.size())
    grow(index);
  std::size_t i = hash & mask(index);
  while (index->slots[i].first)
    i = (i + 1) & mask(index);
  index->slots[i] = AddressSlot{hash, user, 1};
  ++index->used;
}

void indexRemoveFirst(AddressIndex *index, AddressSlot *slot, KnownUser *next)
{
  if (slot->count > 1) {
    slot->first = next;
    --slot->count;
    return;
  }
  // Close the gap: move back each later slot of the run that may not stay
  // behind the freed one, so that every search still finds its address.
  std::size_t hole = static_cast<std::size_t>(slot - index->slots.data());
  for (std::size_t j = (hole + 1) & mask(index); index->slots[j].first; j = (j + 1) & mask(index)) {
    std::size_t home = index->slots[j].hash & mask(index);
    bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
    if (movable) {
      index->slots[hole] = index->slots[j];
      hole = j;
    }
  }
  index->slots[hole] = AddressSlot{0, nullptr, 0};
  --index->used;
}

void indexClear(AddressIndex *index)
{
  index->slots.clear();
  index->used = 0;
}
