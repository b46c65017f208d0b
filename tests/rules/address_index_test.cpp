// The known-users index on its own: clusters that wrap around the end of
// the table, removal in every order, growth.
#include "platform/text/wstr.h"
#include "rules/address_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::u16string text; // the address
  std::size_t hash;    // the hash the test gives it
  KnownUser user;      // the entry the index points at
};

std::vector<Entry> entriesWithHashes(const std::vector<std::size_t> &hashes)
{
  std::vector<Entry> out(hashes.size());
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    out[i].text = u"user" + utf8ToUtf16(std::to_string(i));
    out[i].hash = hashes[i];
  }
  for (Entry &e : out)
    e.user = KnownUser{e.text.data(), 2, nullptr};
  return out;
}

TEST(AddressIndex, RemovalInEveryOrderKeepsTheOthersFindable)
{
  // Homes 14, 15, 14, 0, 15, 1 in a 16-slot table: one run that wraps past
  // the last slot. (Hashes above 15 land on the same homes.)
  const std::vector<std::size_t> hashes = {14, 15, 30, 0, 31, 1};
  std::vector<std::size_t> order = {0, 1, 2, 3, 4, 5};
  do {
    std::vector<Entry> entries = entriesWithHashes(hashes);
    AddressIndex index;
    for (Entry &e : entries)
      indexAdd(&index, &e.user, e.hash);
    ASSERT_EQ(index.slots.size(), 16u);
    std::vector<bool> present(entries.size(), true);
    for (std::size_t victim : order) {
      AddressSlot *slot = indexFind(&index, entries[victim].text.c_str(), entries[victim].hash);
      ASSERT_NE(slot, nullptr);
      indexRemoveFirst(&index, slot, nullptr);
      present[victim] = false;
      for (std::size_t i = 0; i < entries.size(); ++i) {
        AddressSlot *found = indexFind(&index, entries[i].text.c_str(), entries[i].hash);
        ASSERT_EQ(found != nullptr, present[i]) << "entry " << i;
        if (found) {
          ASSERT_EQ(found->first, &entries[i].user);
        }
      }
    }
    EXPECT_EQ(index.used, 0u);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(AddressIndex, GrowsAndFindsIgnoringCase)
{
  std::vector<std::u16string> texts;
  for (int i = 0; i < 5000; ++i)
    texts.push_back(u"Sender" + utf8ToUtf16(std::to_string(i)) + u"@Example.ORG");
  std::vector<KnownUser> users(texts.size());
  AddressIndex index;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    users[i] = KnownUser{texts[i].data(), 1, nullptr};
    indexAdd(&index, &users[i], addressHash(texts[i].c_str()));
  }
  EXPECT_EQ(index.used, texts.size());
  EXPECT_LE(2 * index.used, index.slots.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::u16string lower = texts[i];
    wstrLowerInPlace(lower.data());
    EXPECT_EQ(addressHash(lower.c_str()), addressHash(texts[i].c_str()));
    AddressSlot *slot = indexFind(&index, lower.c_str(), addressHash(lower.c_str()));
    ASSERT_NE(slot, nullptr) << i;
    ASSERT_EQ(slot->first, &users[i]);
  }
  EXPECT_EQ(indexFind(&index, u"sender5000@example.org", addressHash(u"sender5000@example.org")),
            nullptr);
  indexClear(&index);
  EXPECT_EQ(indexFind(&index, texts[0].c_str(), addressHash(texts[0].c_str())), nullptr);
}

} // namespace
