// Known-users blocks, as the known-users file (no count) and the backup file
// (with a count) hold them. The first byte chooses the form.
#include "rules/known_users_file.h"
#include "platform/text/wstr.h"
#include "tests/rules/fuzz_support.h"

#include <map>
#include <string>

namespace {

const bool lockCreated = (createKnownUsersLock(), true);

std::u16string lowered(const WCHAR *s)
{
  std::u16string out(s);
  for (WCHAR &c : out)
    c = toLowerUnit(c);
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  require(lockCreated);
  if (size == 0)
    return 0;
  bool withCount = data[0] & 1;
  FILE *f = openFuzzInput(data + 1, size - 1);
  if (!f)
    return 0;
  loadKnownUsers(f, withCount);
  std::fclose(f);

  // Each entry takes at least 6 bytes, the last one (its level cut off) at
  // least 2; no address is longer than its 127 bytes.
  require(countKnownUsers() * 6 <= size - 1 + 4);
  std::map<std::u16string, LONG> firstLevel; // what the first entry of each address says
  std::size_t walked = 0;
  for (const KnownUser *u = knownUsers; u; u = u->next, ++walked) {
    require(wstrLen(u->address) <= KNOWN_USER_MAX_BYTES);
    firstLevel.try_emplace(lowered(u->address), u->level);
  }
  require(walked == countKnownUsers());
  for (const auto &[address, level] : firstLevel)
    require(isKnownUser(address.c_str()) == (level >= KNOWN_USER_KNOWN));

  // A saved list reads back to itself.
  auto saved = writtenBy([&](FILE *out) { saveKnownUsers(out, withCount); });
  FILE *again = openFuzzInput(saved.data(), saved.size());
  loadKnownUsers(again, withCount);
  std::fclose(again);
  require(countKnownUsers() == walked);
  require(writtenBy([&](FILE *out) { saveKnownUsers(out, withCount); }) == saved);

  // Removing every entry through the index, duplicates included, empties the list.
  std::vector<std::u16string> addresses;
  for (const KnownUser *u = knownUsers; u; u = u->next)
    addresses.emplace_back(u->address);
  for (auto it = addresses.rbegin(); it != addresses.rend(); ++it)
    removeKnownUser(it->c_str());
  require(knownUsers == nullptr && countKnownUsers() == 0);
  knownUsersDirty = 0;
  return 0;
}
