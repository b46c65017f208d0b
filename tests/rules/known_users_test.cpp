// The known-users list: levels, case, duplicates from files, and use from
// several threads at once.
#include "rules/known_users.h"
#include "platform/text/wstr.h"
#include "rules/known_users_file.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The list as (address, level) pairs, in order.
std::vector<std::pair<std::u16string, LONG>> entries()
{
  CriticalSectionGuard guard(&knownUsersLock);
  std::vector<std::pair<std::u16string, LONG>> out;
  for (const KnownUser *u = knownUsers; u; u = u->next)
    out.emplace_back(u->address, u->level);
  return out;
}

// Loads a block of (ASCII address, level) entries, duplicates allowed.
void loadEntries(const std::vector<std::pair<std::string, std::int32_t>> &list)
{
  Bytes block;
  for (const auto &[address, level] : list) {
    Bytes entry(2 + address.size() + 4);
    putI16(entry, 0, static_cast<std::int16_t>(address.size()));
    for (std::size_t i = 0; i < address.size(); ++i)
      entry[2 + i] = static_cast<std::uint8_t>(address[i]);
    putI32(entry, 2 + address.size(), level);
    append(block, entry);
  }
  FILE *f = fileOver(block);
  loadKnownUsers(f, false);
  std::fclose(f);
}

using KnownUsers = KnownUsersTest;

TEST_F(KnownUsers, AutomaticAddsCountUpToKnown)
{
  addKnownUser(u"Ann.Lee", false);
  EXPECT_FALSE(isKnownUser(u"Ann.Lee"));
  EXPECT_EQ(knownUsersDirty, 1);
  knownUsersDirty = 0;
  addKnownUser(u"ann.lee", false);
  EXPECT_TRUE(isKnownUser(u"Ann.Lee"));
  EXPECT_EQ(knownUsersDirty, 1);
  knownUsersDirty = 0;
  addKnownUser(u"ANN.LEE", false);
  EXPECT_EQ(knownUsersDirty, 0) << "a known user does not change";
  EXPECT_EQ(entries(), (decltype(entries()){{u"Ann.Lee", 2}}));
}

TEST_F(KnownUsers, ManualAddsMakeKnownAtOnce)
{
  addKnownUser(u"bob@x", false);
  addKnownUser(u"BOB@X", true);
  addKnownUser(u"carol@y", true);
  EXPECT_EQ(entries(), (decltype(entries()){{u"bob@x", 2}, {u"carol@y", 2}}));
  EXPECT_TRUE(isKnownUser(u"Carol@Y"));
}

TEST_F(KnownUsers, LevelsFromAFileAreTakenOver)
{
  // Levels other than 1 and 2 stay until a change reaches 2.
  loadEntries({{"zero", 0}, {"neg", -3}, {"high", 7}, {"one", 1}});
  EXPECT_FALSE(isKnownUser(u"zero"));
  EXPECT_FALSE(isKnownUser(u"neg"));
  EXPECT_TRUE(isKnownUser(u"high"));
  addKnownUser(u"zero", false);
  addKnownUser(u"neg", false);
  addKnownUser(u"high", true);
  addKnownUser(u"one", false);
  EXPECT_EQ(entries(), (decltype(entries()){{u"zero", 1}, {u"neg", -2}, {u"high", 7}, {u"one", 2}}));
}

TEST_F(KnownUsers, CaseIgnoredBeyondAscii)
{
  addKnownUser(u"\u00C9mile@\u0421\u0430\u0448\u0430.ru", true);
  EXPECT_TRUE(isKnownUser(u"\u00E9mile@\u0441\u0430\u0448\u0430.RU"));
  EXPECT_FALSE(isKnownUser(u"emile@\u0441\u0430\u0448\u0430.ru"));
  EXPECT_FALSE(isKnownUser(u"\u00E9mile@\u0441\u0430\u0448\u0430.r")) << "whole strings only";
  EXPECT_FALSE(isKnownUser(u""));
}

TEST_F(KnownUsers, RemoveIgnoresCaseAndAbsentAddressesChangeNothing)
{
  addKnownUser(u"Ann.Lee", true);
  addKnownUser(u"Bob", true);
  knownUsersDirty = 0;
  removeKnownUser(u"nobody");
  EXPECT_EQ(knownUsersDirty, 0);
  removeKnownUser(u"ann.lee");
  EXPECT_EQ(knownUsersDirty, 1);
  EXPECT_FALSE(isKnownUser(u"Ann.Lee"));
  EXPECT_EQ(entries(), (decltype(entries()){{u"Bob", 2}}));
  // Toggling twice, as the Inbox command does, ends where it started.
  addKnownUser(u"Ann.Lee", true);
  removeKnownUser(u"ANN.LEE");
  EXPECT_EQ(entries(), (decltype(entries()){{u"Bob", 2}}));
}

TEST_F(KnownUsers, EmptyAddressIsAnAddressLikeAnyOther)
{
  addKnownUser(u"", true);
  EXPECT_TRUE(isKnownUser(u""));
  removeKnownUser(u"");
  EXPECT_FALSE(isKnownUser(u""));
  EXPECT_EQ(countKnownUsers(), 0u);
}

TEST_F(KnownUsers, DuplicatesFromAFileAnswerByTheFirstEntry)
{
  loadEntries({{"dup@x", 1}, {"other", 2}, {"DUP@X", 2}, {"Dup@X", 1}});
  EXPECT_FALSE(isKnownUser(u"dup@x")) << "the first entry decides";
  addKnownUser(u"dup@x", false);
  EXPECT_EQ(entries()[0].second, 2);
  EXPECT_EQ(entries()[2].second, 2);

  removeKnownUser(u"dup@x"); // the first goes; "DUP@X" (level 2) answers now
  EXPECT_TRUE(isKnownUser(u"dup@x"));
  removeKnownUser(u"dup@x"); // then "Dup@X" (level 1)
  EXPECT_FALSE(isKnownUser(u"dup@x"));
  EXPECT_EQ(entries(), (decltype(entries()){{u"other", 2}, {u"Dup@X", 1}}));
  removeKnownUser(u"dup@x");
  EXPECT_EQ(entries(), (decltype(entries()){{u"other", 2}}));
  // Removing the tail leaves a list that still appends at its end.
  addKnownUser(u"last", true);
  removeKnownUser(u"last");
  addKnownUser(u"new", false);
  EXPECT_EQ(entries(), (decltype(entries()){{u"other", 2}, {u"new", 1}}));
}

TEST_F(KnownUsers, LoadingReplacesTheListAndItsIndex)
{
  addKnownUser(u"gone", true);
  loadEntries({{"kept", 2}});
  EXPECT_FALSE(isKnownUser(u"gone"));
  EXPECT_TRUE(isKnownUser(u"KEPT"));
  addKnownUser(u"gone", false);
  EXPECT_EQ(entries(), (decltype(entries()){{u"kept", 2}, {u"gone", 1}}));
  clearKnownUsers();
  EXPECT_FALSE(isKnownUser(u"kept"));
  EXPECT_EQ(knownUsers, nullptr);
}

TEST_F(KnownUsers, ConcurrentMatchersAndMoves)
{
  // Passes on several threads test and count senders at once: every
  // automatic add counts exactly once and the list holds one entry each.
  constexpr int threads = 4;
  constexpr int senders = 200;
  std::vector<std::u16string> names;
  for (int i = 0; i < senders; ++i)
    names.push_back(u"sender" + utf8ToUtf16(std::to_string(i)) + u"@example.org");
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&, t] {
      for (int i = 0; i < senders; ++i) {
        const std::u16string &name = names[(i + t * 37) % senders];
        (void)isKnownUser(name.c_str()); // the matcher's question, racing the adds
        if (t < 2)
          addKnownUser(name.c_str(), false);
      }
    });
  for (auto &th : pool)
    th.join();
  auto list = entries();
  ASSERT_EQ(list.size(), static_cast<std::size_t>(senders));
  for (const auto &[address, level] : list)
    EXPECT_EQ(level, 2) << utf16ToUtf8(address);
}

} // namespace
