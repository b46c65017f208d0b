// The known-users block byte for byte, cut and damaged blocks, the ANSI code
// page, and when the known-users file is (re)written.
#include "rules/known_users_file.h"
#include "platform/text/wstr.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char *KNOWN_FILE = "Application Data/Brindlewick/KnownUsers.dat";

std::vector<std::pair<std::u16string, LONG>> entries()
{
  CriticalSectionGuard guard(&knownUsersLock);
  std::vector<std::pair<std::u16string, LONG>> out;
  for (const KnownUser *u = knownUsers; u; u = u->next)
    out.emplace_back(u->address, u->level);
  return out;
}
using Entries = std::vector<std::pair<std::u16string, LONG>>;

// One entry as the file holds it, built by hand.
Bytes entryBytes(const Bytes &ansi, std::int32_t level)
{
  Bytes e(2 + ansi.size() + 4);
  putI16(e, 0, static_cast<std::int16_t>(ansi.size()));
  std::copy(ansi.begin(), ansi.end(), e.begin() + 2);
  putI32(e, 2 + ansi.size(), level);
  return e;
}

Bytes ascii(const std::string &s)
{
  return Bytes(s.begin(), s.end());
}

long load(const Bytes &bytes, bool withCount)
{
  FILE *f = fileOver(bytes);
  loadKnownUsers(f, withCount);
  long pos = std::ftell(f);
  std::fclose(f);
  return pos;
}

Bytes saved(bool withCount)
{
  return bytesWrittenBy([&](FILE *f) { saveKnownUsers(f, withCount); });
}

using KnownUsersFile = KnownUsersTest;

TEST_F(KnownUsersFile, GoldenBlockWithAndWithoutCount)
{
  addKnownUser(u"Ann.Lee@example.com", true);
  addKnownUser(u"bob", false);
  addKnownUser(u"Ren\u00E9e \u20AC", true); // é and € in UTF-8
  addKnownUser(u"", false);

  Bytes expected;
  append(expected, {0x13, 0x00});
  append(expected, ascii("Ann.Lee@example.com"));
  append(expected, {0x02, 0x00, 0x00, 0x00});
  append(expected, {0x03, 0x00, 'b', 'o', 'b', 0x01, 0x00, 0x00, 0x00});
  append(expected, {0x0A, 0x00, 'R', 'e', 'n', 0xC3, 0xA9, 'e', ' ', 0xE2, 0x82, 0xAC, 0x02, 0x00, 0x00, 0x00});
  append(expected, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
  EXPECT_EQ(saved(false), expected);

  Bytes withCount = {0x04, 0x00, 0x00, 0x00};
  append(withCount, expected);
  EXPECT_EQ(saved(true), withCount);

  const Entries before = entries();
  load(expected, false);
  EXPECT_EQ(entries(), before);
  load(withCount, true);
  EXPECT_EQ(entries(), before);
}

TEST_F(KnownUsersFile, EmptyListIsAnEmptyFileOrACountOfZero)
{
  EXPECT_EQ(saved(false), Bytes{});
  EXPECT_EQ(saved(true), (Bytes{0, 0, 0, 0}));
}

TEST_F(KnownUsersFile, DamagedAndCutBlocks)
{
  const Bytes ann = entryBytes(ascii("ann"), 2);
  const Bytes bob = entryBytes(ascii("bob"), 1);
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts)
      append(out, p);
    return out;
  };
  Bytes longLength = entryBytes(ascii("x"), 2);
  putI16(longLength, 0, 128);
  Bytes negativeLength = entryBytes(ascii("x"), 2);
  putI16(negativeLength, 0, -1);
  Bytes hugeLength = entryBytes(ascii("x"), 2);
  putI16(hugeLength, 0, 0x7FFF);
  Bytes embeddedNul = entryBytes({'c', 0, 'd'}, 2);
  Bytes maxLength = entryBytes(Bytes(127, 'm'), 2);
  struct Case {
    const char *what;
    Bytes bytes;
    bool withCount;
    Entries expected;
  };
  const Case cases[] = {
      {"empty", {}, false, {}},
      {"level cut off: level 0", join({ann, {0x03, 0x00, 'b', 'o', 'b'}}), false, {{u"ann", 2}, {u"bob", 0}}},
      {"level cut in the middle", join({ann, {0x03, 0x00, 'b', 'o', 'b', 0x02}}), false, {{u"ann", 2}, {u"bob", 0}}},
      {"address cut", join({ann, {0x03, 0x00, 'b', 'o'}}), false, {{u"ann", 2}}},
      {"length cut", join({ann, {0x03}}), false, {{u"ann", 2}}},
      {"length 128 refused", join({ann, longLength, bob}), false, {{u"ann", 2}}},
      {"negative length refused", join({ann, negativeLength, bob}), false, {{u"ann", 2}}},
      {"length 32767 refused", join({hugeLength, bob}), false, {}},
      {"length 127 accepted", maxLength, false, {{std::u16string(127, u'm'), 2}}},
      {"embedded NUL ends the address", embeddedNul, false, {{u"c", 2}}},
      {"count 1 of 2", join({int32Bytes(1), ann, bob}), true, {{u"ann", 2}}},
      {"count 0", join({int32Bytes(0), ann}), true, {}},
      {"negative count: to the end", join({int32Bytes(-1), ann, bob}), true, {{u"ann", 2}, {u"bob", 1}}},
      {"count beyond the entries", join({int32Bytes(5), ann}), true, {{u"ann", 2}}},
      {"count cut", {0x01, 0x00}, true, {}},
      {"duplicates stay", join({ann, ann}), false, {{u"ann", 2}, {u"ann", 2}}},
  };
  for (const Case &c : cases) {
    load(c.bytes, c.withCount);
    EXPECT_EQ(entries(), c.expected) << c.what;
  }
  EXPECT_EQ(knownUsersDirty, 0) << "loading is no change";
}

TEST_F(KnownUsersFile, EveryPrefixLoadsTheEntriesBeforeTheCut)
{
  Bytes full = int32Bytes(3);
  const Bytes parts[] = {entryBytes(ascii("first@a"), 2), entryBytes(ascii("second@bb"), 1),
                         entryBytes(Bytes{}, 2)};
  std::vector<std::size_t> ends; // where each entry's address ends
  for (const Bytes &p : parts) {
    append(full, p);
    ends.push_back(full.size() - 4);
  }
  for (std::size_t n = 0; n <= full.size(); ++n) {
    load(Bytes(full.begin(), full.begin() + static_cast<long>(n)), true);
    std::size_t expected = 0;
    for (std::size_t end : ends)
      expected += n >= end ? 1 : 0;
    ASSERT_EQ(countKnownUsers(), expected) << "prefix of " << n << " bytes";
  }
}

TEST_F(KnownUsersFile, BlockWithCountLeavesThePositionBehindItsLastEntry)
{
  Bytes block = int32Bytes(2);
  append(block, entryBytes(ascii("a@b"), 2));
  append(block, entryBytes(ascii("c@d"), 1));
  const std::size_t end = block.size();
  append(block, entryBytes(ascii("e@f"), 2));
  EXPECT_EQ(load(block, true), static_cast<long>(end));
  EXPECT_EQ(countKnownUsers(), 2u);
}

TEST_F(KnownUsersFile, Utf8OnFileAndWindows1252FromEarlierVersions)
{
  addKnownUser(u"\u0416@x", true);
  addKnownUser(u"\u0160\u017D\u0153\u2122", true);
  Bytes expected = entryBytes({0xD0, 0x96, '@', 'x'}, 2);
  append(expected, entryBytes({0xC5, 0xA0, 0xC5, 0xBD, 0xC5, 0x93, 0xE2, 0x84, 0xA2}, 2));
  EXPECT_EQ(saved(false), expected);
  const Entries both = {{u"\u0416@x", 2}, {u"\u0160\u017D\u0153\u2122", 2}};
  load(expected, false);
  EXPECT_EQ(entries(), both);
  // Bytes that are no UTF-8 were written in Windows-1252; the next save
  // writes them in UTF-8.
  Bytes older = entryBytes({0xC3, 0xA9, '@', 'x'}, 2);
  append(older, entryBytes({0x8A, 0x8E, 0x9C, 0x99}, 2));
  append(older, entryBytes({'e', 0xE9, 0xC3}, 1));
  load(older, false);
  EXPECT_EQ(entries(), (Entries{{u"\u00E9@x", 2}, {u"\u0160\u017D\u0153\u2122", 2}, {u"e\u00E9\u00C3", 1}}));
}

TEST_F(KnownUsersFile, ALongWindows1252AddressIsKeptCutLikeEveryOther)
{
  // 127 bytes of an earlier version are 127 characters, but 254 bytes of
  // UTF-8: the list keeps the 63 characters the file holds, so the address
  // is still known and can be removed, and the next save reads back as is.
  const Bytes older = entryBytes(Bytes(127, 0xE9), 2);
  load(older, false);
  const std::u16string full(127, u'\u00E9');
  EXPECT_EQ(entries(), (Entries{{full.substr(0, 63), 2}}));
  EXPECT_TRUE(isKnownUser(full.c_str()));
  Bytes utf8;
  for (int i = 0; i < 63; ++i)
    append(utf8, {0xC3, 0xA9});
  EXPECT_EQ(saved(false), entryBytes(utf8, 2));
  removeKnownUser(full.c_str());
  EXPECT_EQ(countKnownUsers(), 0u);
}

TEST_F(KnownUsersFile, LongAddressesAreKeptAndWrittenCutTo127BytesOfWholeCharacters)
{
  const std::u16string address = longText(200);
  addKnownUser(address.c_str(), false);
  addKnownUser(longText(127).c_str(), false); // the same, as far as the file goes
  const std::u16string cyrillic(100, u'\u0436');
  addKnownUser(cyrillic.c_str(), true);
  Bytes cut(127);
  for (std::size_t i = 0; i < 127; ++i)
    cut[i] = static_cast<std::uint8_t>(address[i]);
  Bytes expected = entryBytes(cut, 2);
  Bytes twoByteCut;
  for (int i = 0; i < 63; ++i)
    append(twoByteCut, {0xD0, 0xB6});
  append(expected, entryBytes(twoByteCut, 2));
  EXPECT_EQ(saved(false), expected);
  const Entries kept = {{address.substr(0, 127), 2}, {cyrillic.substr(0, 63), 2}};
  EXPECT_EQ(entries(), kept);
  load(expected, false);
  EXPECT_EQ(entries(), kept);
  EXPECT_TRUE(isKnownUser(address.c_str()));
  EXPECT_TRUE(isKnownUser(cyrillic.c_str()));
  removeKnownUser(cyrillic.c_str());
  EXPECT_EQ(countKnownUsers(), 1u);
}

// One start of the program as far as known users go: the file, then the
// contacts' addresses, then the save of the first timer tick.
void start(const std::vector<std::u16string> &contacts)
{
  clearKnownUsers();
  loadKnownUsersFile();
  for (const std::u16string &c : contacts)
    addKnownUser(c.c_str(), true);
  EXPECT_TRUE(saveKnownUsersFile(false));
}

TEST_F(KnownUsersFile, RestartsNeitherGrowTheFileNorLoseAnAddress)
{
  const std::u16string cyrillic = u"\u0438\u0432\u0430\u043D@\u043F\u0440\u0438\u043C\u0435\u0440.\u0440\u0444";
  const std::u16string tooLong = longText(150) + u"@example.org";
  const std::u16string longCyrillic = std::u16string(70, u'\u0436') + u"@x"; // 142 bytes in UTF-8
  const std::u16string byHand = u"\u017D\u0435\u043D\u044F@example.org";  // marked known once
  const std::vector<std::u16string> contacts = {cyrillic, tooLong, longCyrillic, u"ann@example.org"};
  start(contacts);
  addKnownUser(byHand.c_str(), true);
  ASSERT_TRUE(saveKnownUsersFile(false));
  const Bytes first = readFile(KNOWN_FILE);
  for (int restart = 1; restart <= 3; ++restart) {
    SCOPED_TRACE(restart);
    start(contacts);
    EXPECT_EQ(countKnownUsers(), 5u);
    EXPECT_EQ(readFile(KNOWN_FILE), first);
    for (const std::u16string &a : {cyrillic, tooLong, longCyrillic, byHand})
      EXPECT_TRUE(isKnownUser(a.c_str())) << utf16ToUtf8(a);
    // A message record holds at most 127 units of its sender.
    EXPECT_TRUE(isKnownUser(tooLong.substr(0, 127).c_str()));
  }
}

TEST_F(KnownUsersFile, AsciiOnlyFilesStayByteForByte)
{
  Bytes file = entryBytes(ascii("ann@example.org"), 2);
  append(file, entryBytes(ascii("Bob.Smith@Example.COM"), 1));
  append(file, entryBytes(Bytes(127, 'q'), 2));
  append(file, entryBytes(ascii("odd"), 7));
  writeFile(KNOWN_FILE, file);
  loadKnownUsersFile();
  ASSERT_TRUE(saveKnownUsersFile(true));
  EXPECT_EQ(readFile(KNOWN_FILE), file);
}

TEST_F(KnownUsersFile, MissingFileLeavesTheListAsItWas)
{
  addKnownUser(u"contact@x", true);
  loadKnownUsersFile();
  EXPECT_EQ(entries(), (Entries{{u"contact@x", 2}}));
  writeFile(KNOWN_FILE, {});
  loadKnownUsersFile();
  EXPECT_EQ(entries(), Entries{});
}

TEST_F(KnownUsersFile, SaveOnlyWhenDirtyOrForced)
{
  writeFile(KNOWN_FILE, {9});
  addKnownUser(u"a", true);
  knownUsersDirty = 0;
  EXPECT_TRUE(saveKnownUsersFile(false));
  EXPECT_EQ(readFile(KNOWN_FILE), Bytes{9});
  EXPECT_TRUE(saveKnownUsersFile(true));
  EXPECT_EQ(readFile(KNOWN_FILE), entryBytes(ascii("a"), 2));
  addKnownUser(u"b", false);
  EXPECT_TRUE(saveKnownUsersFile(false));
  EXPECT_EQ(knownUsersDirty, 0);
  clearKnownUsers();
  loadKnownUsersFile();
  EXPECT_EQ(entries(), (Entries{{u"a", 2}, {u"b", 1}}));
}

TEST_F(KnownUsersFile, FailedSaveKeepsTheOldFileAndTheDirtyFlag)
{
  std::filesystem::create_directories(root / KNOWN_FILE); // cannot be replaced
  addKnownUser(u"a", true);
  EXPECT_FALSE(saveKnownUsersFile(false));
  EXPECT_EQ(knownUsersDirty, 1);
  knownUsersDirty = 0;
  EXPECT_FALSE(saveKnownUsersFile(true));
  EXPECT_EQ(knownUsersDirty, 1) << "a failed forced save is retried too";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "Application Data/Brindlewick"),
                          {}),
            1);
  std::filesystem::remove(root / KNOWN_FILE);
  EXPECT_TRUE(saveKnownUsersFile(false));
  EXPECT_EQ(knownUsersDirty, 0);
  EXPECT_EQ(readFile(KNOWN_FILE), entryBytes(ascii("a"), 2));
}

} // namespace
