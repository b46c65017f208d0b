// Reading cut, damaged and odd rule blocks, and when the rules file is
// (re)written.
#include "rules/rules_file.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

constexpr const char *RULES_FILE = "Application Data/Brindlewick/Brindlewick.dat";

// A current-form record whose subject names it.
Bytes namedRecord(char16_t name)
{
  Bytes rec(2064, 0);
  putU8(rec, 0, 1);
  putText(rec, 770, std::u16string(1, name));
  return rec;
}

Bytes currentBlock(int records, const Bytes &countBytes = {})
{
  Bytes b = headerBytes();
  append(b, countBytes);
  for (int i = 0; i < records; ++i)
    append(b, namedRecord(static_cast<char16_t>(u'A' + i)));
  return b;
}

// The first letters of the rules' subjects, '-' for an empty one.
std::u16string subjects()
{
  std::u16string s;
  for (const Rule *r = ruleList; r; r = r->next)
    s += r->subject[0] ? r->subject[0] : u'-';
  return s;
}

// Loads the bytes as a block; returns the file position afterwards.
long load(const Bytes &bytes, bool withCount)
{
  FILE *f = fileOver(bytes);
  loadRules(f, withCount);
  long pos = std::ftell(f);
  std::fclose(f);
  return pos;
}

using RulesFile = RulesTest;

TEST_F(RulesFile, CountsAndCutBlocks)
{
  struct Case {
    const char *what;
    Bytes bytes;
    bool withCount;
    std::u16string expected;
  };
  Bytes cutRecord = currentBlock(3);
  cutRecord.pop_back();
  Bytes trailing = currentBlock(3);
  append(trailing, Bytes(100, 0x41));
  const Case cases[] = {
      {"empty file: legacy form, nothing", {}, false, u""},
      {"header only", headerBytes(), false, u""},
      {"header and 3 records and 100 bytes", trailing, false, u"ABC"},
      {"last record cut by a byte", cutRecord, false, u"AB"},
      {"count 0", currentBlock(2, int32Bytes(0)), true, u""},
      {"count 1 of 2", currentBlock(2, int32Bytes(1)), true, u"A"},
      {"negative count: to the end", currentBlock(3, int32Bytes(-5)), true, u"ABC"},
      {"count beyond the records", currentBlock(2, int32Bytes(9)), true, u"AB"},
      {"count cut off", [] { Bytes b = headerBytes(); append(b, {1, 0}); return b; }(), true, u""},
      {"a count is not read without withCount", currentBlock(1), false, u"A"},
      {"lower-case header: one legacy record of 2078 bytes", [] {
         Bytes b = currentBlock(1);
         b[0] = 'v';
         return b;
       }(), false, u"-"},
  };
  for (const Case &c : cases) {
    load(c.bytes, c.withCount);
    EXPECT_EQ(subjects(), c.expected) << c.what;
  }
}

TEST_F(RulesFile, EveryPrefixOfAFileLoadsTheWholeRecordsInIt)
{
  const Bytes full = currentBlock(3, int32Bytes(3));
  for (std::size_t n = 0; n <= full.size(); ++n) {
    Bytes prefix(full.begin(), full.begin() + static_cast<long>(n));
    load(prefix, true);
    std::size_t whole = n < 18 ? 0 : (n - 18) / 2064;
    ASSERT_EQ(countRules(), whole) << "prefix of " << n << " bytes";
  }
  for (std::size_t n = 0; n <= full.size(); n += 97) {
    Bytes prefix(full.begin(), full.begin() + static_cast<long>(n));
    load(prefix, false);
    std::size_t whole = n < 14 ? 0 : (n - 14) / 2064;
    ASSERT_EQ(countRules(), whole) << "prefix of " << n << " bytes, no count";
  }
}

TEST_F(RulesFile, BlockLeavesThePositionBehindItsLastRecord)
{
  Bytes b = currentBlock(3, int32Bytes(2));
  EXPECT_EQ(load(b, true), 14 + 4 + 2 * 2064);
  // Starting in the middle of a file: the block begins where the file stands.
  Bytes shifted = {9, 9, 9};
  append(shifted, b);
  FILE *f = fileOver(shifted);
  std::fseek(f, 3, SEEK_SET);
  loadRules(f, true);
  EXPECT_EQ(std::ftell(f), 3 + 14 + 4 + 2 * 2064);
  std::fclose(f);
  EXPECT_EQ(subjects(), u"AB");
}

TEST_F(RulesFile, LoadingReplacesTheList)
{
  appendDefaultRules(u"Archive");
  load(currentBlock(1), false);
  EXPECT_EQ(subjects(), u"A");
}

TEST_F(RulesFile, TextsWithoutTerminatorKeep127Characters)
{
  // A damaged record: the subject fills all 128 units; the others are fine.
  Bytes rec = namedRecord(u'A');
  putText(rec, 770, longText(128, u'a'), false);
  putText(rec, 1806, longText(128, u'x'), false);
  Bytes file = headerBytes();
  append(file, rec);
  load(file, false);
  ASSERT_EQ(countRules(), 1u);
  EXPECT_EQ(std::u16string(ruleList->subject), longText(127, u'a'));
  EXPECT_EQ(std::u16string(ruleList->execute), longText(127, u'x'));
  EXPECT_EQ(std::u16string(ruleList->mailbox), u"");
}

TEST_F(RulesFile, LegacyActionKindChoosesMoveTo)
{
  struct Case {
    std::int32_t kind;
    std::u16string target;
    std::u16string expected;
  };
  const Case cases[] = {
      {1, u"Saved", u"Saved"},
      {2, u"Saved", u">> DELETE <<"},
      {0, u"Saved", u""},
      {3, u"Saved", u""},
      {-1, u"Saved", u""},
      {1, longText(128), longText(127)}, // a target without terminator is cut
  };
  for (const Case &c : cases) {
    Bytes rec(1564, 0xCC); // ignored bytes and units after terminators are noise
    for (std::size_t off : {2u, 258u, 514u, 770u, 1026u})
      putText(rec, off, u"");
    putText(rec, 1300, c.target, c.target.size() < 128);
    putI32(rec, 1296, c.kind);
    load(rec, false);
    ASSERT_EQ(countRules(), 1u);
    EXPECT_EQ(std::u16string(ruleList->moveTo), c.expected) << "kind " << c.kind;
    // Copied up to the terminator: nothing of the noise follows it.
    EXPECT_EQ(ruleList->moveTo[c.expected.size()], 0);
    EXPECT_EQ(ruleList->moveTo[127], 0);
    EXPECT_EQ(ruleList->mailbox[1], 0);
    EXPECT_EQ(ruleList->playSound[0], 0);
    EXPECT_EQ(ruleList->execute[0], 0);
    EXPECT_EQ(ruleList->markAsRead, 0);
    EXPECT_EQ(ruleList->reserved1, 0);
  }
}

TEST_F(RulesFile, LegacyFilesLoadWholeRecordsOnly)
{
  for (std::size_t size : {0u, 1563u, 1564u, 1565u, 3128u, 3128u + 100u}) {
    load(Bytes(size, 0), false);
    EXPECT_EQ(countRules(), size / 1564) << size << " bytes";
  }
  // A file shorter than a header that starts like one is legacy data too.
  Bytes shortHeader = headerBytes();
  shortHeader.pop_back();
  load(shortHeader, false);
  EXPECT_EQ(countRules(), 0u);
}

TEST_F(RulesFile, MissingFileLoadsNothingAndChangesNothing)
{
  appendDefaultRules(u"Archive");
  EXPECT_FALSE(loadRulesFile());
  EXPECT_EQ(countRules(), 3u);
}

TEST_F(RulesFile, ExistingEmptyFileGivesNoRules)
{
  appendDefaultRules(u"Archive");
  writeFile(RULES_FILE, {});
  EXPECT_TRUE(loadRulesFile());
  EXPECT_EQ(ruleList, nullptr);
}

TEST_F(RulesFile, SaveOnlyWhenDirtyOrForced)
{
  writeFile(RULES_FILE, {1, 2, 3});
  appendDefaultRules(u"Archive");
  EXPECT_TRUE(saveRulesFile(false));
  EXPECT_EQ(readFile(RULES_FILE), (Bytes{1, 2, 3})) << "clean list, not forced: untouched";

  EXPECT_TRUE(saveRulesFile(true));
  EXPECT_EQ(readFile(RULES_FILE).size(), 14u + 3 * 2064);
  EXPECT_EQ(rulesDirty, 0);

  clearRules();
  rulesDirty = 1;
  EXPECT_TRUE(saveRulesFile(false));
  EXPECT_EQ(readFile(RULES_FILE), headerBytes());
  EXPECT_EQ(rulesDirty, 0);
}

TEST_F(RulesFile, SaveCreatesTheFolderAndLeavesNoTemporaryFile)
{
  appendDefaultRules(u"Archive");
  rulesDirty = 1;
  ASSERT_TRUE(saveRulesFile(false));
  auto folder = root / "Application Data/Brindlewick";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  clearRules();
  EXPECT_TRUE(loadRulesFile());
  EXPECT_EQ(countRules(), 3u);
}

TEST_F(RulesFile, FailedSaveKeepsTheOldFileAndTheDirtyFlag)
{
  // The target is a folder: the replacement cannot be renamed over it.
  std::filesystem::create_directories(root / RULES_FILE);
  appendDefaultRules(u"Archive");
  rulesDirty = 1;
  EXPECT_FALSE(saveRulesFile(false));
  EXPECT_EQ(rulesDirty, 1) << "the next tick must try again";
  EXPECT_TRUE(std::filesystem::is_directory(root / RULES_FILE));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "Application Data/Brindlewick"),
                          {}),
            1)
      << "no temporary file left behind";

  // A forced save that fails (after an import) is retried by the next tick.
  rulesDirty = 0;
  EXPECT_FALSE(saveRulesFile(true));
  EXPECT_EQ(rulesDirty, 1);

  std::filesystem::remove(root / RULES_FILE);
  EXPECT_TRUE(saveRulesFile(false));
  EXPECT_EQ(rulesDirty, 0);
  EXPECT_EQ(readFile(RULES_FILE).size(), 14u + 3 * 2064);
}

TEST_F(RulesFile, FolderThatCannotBeMadeKeepsTheDirtyFlag)
{
  writeFile("Application Data/Brindlewick", {0}); // a file where the folder belongs
  appendDefaultRules(u"Archive");
  rulesDirty = 1;
  EXPECT_FALSE(saveRulesFile(false));
  EXPECT_EQ(rulesDirty, 1);
}

TEST_F(RulesFile, AFullDeviceDoesNotCutTheOldFile)
{
  // Files may not grow beyond 4096 bytes: the new rules (6206 bytes) do not
  // fit, as on a full device. The old file must stay whole.
  const Bytes old = currentBlock(1);
  writeFile(RULES_FILE, old);
  appendDefaultRules(u"Archive");
  rulesDirty = 1;
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = saveRulesFile(false);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(rulesDirty, 1);
  EXPECT_EQ(readFile(RULES_FILE), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "Application Data/Brindlewick"),
                          {}),
            1);
}

} // namespace
