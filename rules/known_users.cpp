#include "rules/known_users.h"

#include "platform/text/wstr.h"
#include "rules/address_index.h"
#include "rules/known_users_list.h"

#include <atomic>
#include <new>
#include <string>

KnownUser *knownUsers = nullptr;
BYTE knownUsersDirty = 0;
CRITICAL_SECTION knownUsersLock;

namespace {

AddressIndex addressIndex;           // every address of the list: lookups without a walk
KnownUser *knownUsersTail = nullptr; // the last entry, null when empty
std::size_t knownUsersCount = 0;     // entries in the list
std::atomic<std::uint32_t> generation{1}; // knownUsersGeneration; changed under knownUsersLock

// Called under knownUsersLock after a change that may turn isKnownUser's
// answer for some address.
void knownSetChanged()
{
  std::uint32_t next = generation.load(std::memory_order_relaxed) + 1;
  generation.store(next == 0 ? 1 : next, std::memory_order_release);
}

// An entry and its address in one allocation: the address follows the entry.
KnownUser *newEntry(const WCHAR *address, LONG level)
{
  std::size_t n = wstrLen(address);
  void *block = ::operator new(sizeof(KnownUser) + (n + 1) * sizeof(WCHAR));
  auto *user = new (block) KnownUser{nullptr, level, nullptr};
  user->address = reinterpret_cast<WCHAR *>(user + 1);
  std::char_traits<char16_t>::copy(user->address, address, n + 1);
  return user;
}

// Units of an address that the file can hold: the longest run of whole
// characters whose UTF-8 form fits in KNOWN_USER_MAX_BYTES.
std::size_t storableUnits(const WCHAR *address, std::size_t n)
{
  std::size_t bytes = 0, i = 0;
  while (i < n) {
    char16_t c = address[i];
    std::size_t units = 1, size = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && address[i + 1] >= 0xDC00 && address[i + 1] <= 0xDFFF) {
      units = 2;
      size = 4;
    }
    if (bytes + size > static_cast<std::size_t>(KNOWN_USER_MAX_BYTES))
      break;
    bytes += size;
    i += units;
  }
  return i;
}

// An address as the list keeps it: cut to what the file can hold. Most
// addresses are short enough to be used as they are.
class ListAddress {
public:
  explicit ListAddress(const WCHAR *address) : text_(address)
  {
    std::size_t n = wstrLen(address);
    if (n <= KNOWN_USER_MAX_BYTES / 3) // three bytes a unit at most
      return;
    std::size_t keep = storableUnits(address, n);
    if (keep == n)
      return;
    std::char_traits<char16_t>::copy(cut_, address, keep);
    cut_[keep] = 0;
    text_ = cut_;
  }
  const WCHAR *text() const { return text_; }

private:
  WCHAR cut_[KNOWN_USER_MAX_BYTES + 1]; // the cut copy, when one was needed
  const WCHAR *text_;                   // the address to use
};

void freeEntry(KnownUser *user)
{
  user->~KnownUser();
  ::operator delete(user);
}

void append(const WCHAR *address, LONG level, std::size_t hash)
{
  KnownUser *user = newEntry(address, level);
  if (knownUsersTail)
    knownUsersTail->next = user;
  else
    knownUsers = user;
  knownUsersTail = user;
  ++knownUsersCount;
  indexAdd(&addressIndex, user, hash);
  if (level >= KNOWN_USER_KNOWN)
    knownSetChanged();
}

} // namespace

void createKnownUsersLock()
{
  InitializeCriticalSection(&knownUsersLock);
}

void deleteKnownUsersLock()
{
  clearKnownUsers();
  DeleteCriticalSection(&knownUsersLock);
}

void addKnownUser(const WCHAR *asked, bool manual)
{
  ListAddress kept(asked);
  const WCHAR *address = kept.text();
  CriticalSectionGuard guard(&knownUsersLock);
  std::size_t hash = addressHash(address);
  if (AddressSlot *slot = indexFind(&addressIndex, address, hash)) {
    KnownUser *user = slot->first;
    if (user->level >= KNOWN_USER_KNOWN)
      return;
    user->level = manual ? KNOWN_USER_KNOWN : user->level + 1;
    if (user->level >= KNOWN_USER_KNOWN)
      knownSetChanged();
  } else {
    append(address, manual ? KNOWN_USER_KNOWN : KNOWN_USER_SEEN, hash);
  }
  knownUsersDirty = 1;
}

void removeKnownUser(const WCHAR *asked)
{
  ListAddress kept(asked);
  const WCHAR *address = kept.text();
  CriticalSectionGuard guard(&knownUsersLock);
  std::size_t hash = addressHash(address);
  AddressSlot *slot = indexFind(&addressIndex, address, hash);
  if (!slot)
    return;
  KnownUser *target = slot->first;
  KnownUser *previous = nullptr;
  for (KnownUser *user = knownUsers; user != target; user = user->next)
    previous = user;
  (previous ? previous->next : knownUsers) = target->next;
  if (knownUsersTail == target)
    knownUsersTail = previous;
  --knownUsersCount;
  // A duplicate from a file, later in the list, takes the removed one's place.
  KnownUser *next = nullptr;
  if (slot->count > 1) {
    next = target->next;
    while (addressHash(next->address) != hash || wstrICmp(next->address, address) != 0)
      next = next->next;
  }
  indexRemoveFirst(&addressIndex, slot, next);
  freeEntry(target);
  knownSetChanged();
  knownUsersDirty = 1;
}

bool isKnownUser(const WCHAR *asked)
{
  ListAddress kept(asked);
  const WCHAR *address = kept.text();
  CriticalSectionGuard guard(&knownUsersLock);
  AddressSlot *slot = indexFind(&addressIndex, address, addressHash(address));
  return slot && slot->first->level >= KNOWN_USER_KNOWN;
}

std::uint32_t knownUsersGeneration() { return generation.load(std::memory_order_acquire); }

std::size_t countKnownUsers()
{
  CriticalSectionGuard guard(&knownUsersLock);
  return knownUsersCount;
}

void clearKnownUsers()
{
  CriticalSectionGuard guard(&knownUsersLock);
  indexClear(&addressIndex);
  KnownUser *user = knownUsers;
  knownUsers = nullptr;
  knownUsersTail = nullptr;
  knownUsersCount = 0;
  knownSetChanged();
  while (user) {
    KnownUser *next = user->next;
    freeEntry(user);
    user = next;
  }
}

void appendLoadedKnownUser(const WCHAR *read, LONG level)
{
  // An earlier version's Windows-1252 address may need more UTF-8 than the
  // file holds; kept whole, the cut address asked for would never find it.
  ListAddress kept(read);
  const WCHAR *address = kept.text();
  append(address, level, addressHash(address));
}
