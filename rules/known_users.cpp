#include "rules/known_users.h"

#include "platform/text/wstr.h"
#include "rules/known_users_list.h"

#include <string>
#include <string_view>
#include <unordered_map>

KnownUser *knownUsers = nullptr;
BYTE knownUsersDirty = 0;
CRITICAL_SECTION knownUsersLock;

namespace {

// Hash and equality over addresses ignoring case (unit by unit, the lower
// case of toLowerUnit, as wstrICmp compares).
struct AddressHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view s) const
  {
    std::size_t h = 14695981039346656037ull;
    for (WCHAR c : s)
      h = (h ^ toLowerUnit(c)) * 1099511628211ull;
    return h;
  }
};
struct AddressEqual {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const { return wstrICmp(a, b) == 0; }
};

// Where the entries with one address (ignoring case) are.
struct IndexSlot {
  KnownUser *first;  // the first such entry in list order: the one every operation uses
  std::size_t count; // such entries in the list (more than one only after loading a file)
};

// The lower-cased address of every entry, to its slot: lookups without a walk.
std::unordered_map<std::u16string, IndexSlot, AddressHash, AddressEqual> addressIndex;
KnownUser *knownUsersTail = nullptr; // the last entry, null when empty
std::size_t knownUsersCount = 0;     // entries in the list

std::u16string lowerKey(const WCHAR *address)
{
  std::u16string key(address);
  for (WCHAR &c : key)
    c = toLowerUnit(c);
  return key;
}

KnownUser *findFirst(const WCHAR *address)
{
  auto it = addressIndex.find(std::u16string_view(address));
  return it == addressIndex.end() ? nullptr : it->second.first;
}

void append(WCHAR *address, LONG level)
{
  KnownUser *user = new KnownUser{address, level, nullptr};
  if (knownUsersTail)
    knownUsersTail->next = user;
  else
    knownUsers = user;
  knownUsersTail = user;
  ++knownUsersCount;
  auto [it, inserted] = addressIndex.try_emplace(lowerKey(address), IndexSlot{user, 0});
  ++it->second.count;
}

WCHAR *copyAddress(const WCHAR *address)
{
  std::size_t n = wstrLen(address);
  WCHAR *copy = new WCHAR[n + 1];
  std::char_traits<char16_t>::copy(copy, address, n + 1);
  return copy;
}

void freeEntry(KnownUser *user)
{
  delete[] user->address;
  delete user;
}

} // namespace

void createKnownUsersLock()
{
  InitializeCriticalSection(&knownUsersLock);
}

void deleteKnownUsersLock()
{
  DeleteCriticalSection(&knownUsersLock);
}

void addKnownUser(const WCHAR *address, bool manual)
{
  CriticalSectionGuard guard(&knownUsersLock);
  if (KnownUser *user = findFirst(address)) {
    if (user->level >= KNOWN_USER_KNOWN)
      return;
    user->level = manual ? KNOWN_USER_KNOWN : user->level + 1;
  } else {
    append(copyAddress(address), manual ? KNOWN_USER_KNOWN : KNOWN_USER_SEEN);
  }
  knownUsersDirty = 1;
}

void removeKnownUser(const WCHAR *address)
{
  CriticalSectionGuard guard(&knownUsersLock);
  auto it = addressIndex.find(std::u16string_view(address));
  if (it == addressIndex.end())
    return;
  KnownUser *target = it->second.first;
  KnownUser *previous = nullptr;
  for (KnownUser *user = knownUsers; user != target; user = user->next)
    previous = user;
  (previous ? previous->next : knownUsers) = target->next;
  if (knownUsersTail == target)
    knownUsersTail = previous;
  --knownUsersCount;
  if (--it->second.count == 0) {
    addressIndex.erase(it);
  } else {
    // A duplicate from a file takes the place of the removed entry.
    KnownUser *next = target->next;
    while (wstrICmp(next->address, address) != 0)
      next = next->next;
    it->second.first = next;
  }
  freeEntry(target);
  knownUsersDirty = 1;
}

bool isKnownUser(const WCHAR *address)
{
  CriticalSectionGuard guard(&knownUsersLock);
  KnownUser *user = findFirst(address);
  return user && user->level >= KNOWN_USER_KNOWN;
}

std::size_t countKnownUsers()
{
  CriticalSectionGuard guard(&knownUsersLock);
  return knownUsersCount;
}

void clearKnownUsers()
{
  CriticalSectionGuard guard(&knownUsersLock);
  KnownUser *user = knownUsers;
  knownUsers = nullptr;
  knownUsersTail = nullptr;
  knownUsersCount = 0;
  addressIndex.clear();
  while (user) {
    KnownUser *next = user->next;
    freeEntry(user);
    user = next;
  }
}

void appendLoadedKnownUser(WCHAR *address, LONG level)
{
  append(address, level);
}
