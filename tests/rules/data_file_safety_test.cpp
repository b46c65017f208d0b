// Data files that are not what they should be: links to devices, FIFOs,
// damaged contents. Nothing blocks or runs away, and what could not be read
// is kept beside the file before a save replaces it.
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char *RULES_FILE = "Application Data/Brindlewick/Brindlewick.dat";
constexpr const char *KNOWN_FILE = "Application Data/Brindlewick/KnownUsers.dat";

// Puts something that is not a regular file where a data file belongs.
enum class Odd { LinkToDevZero, Fifo, LinkToAFile };

void putOdd(const fs::path &where, Odd kind)
{
  fs::create_directories(where.parent_path());
  switch (kind) {
  case Odd::LinkToDevZero:
    fs::create_symlink("/dev/zero", where);
    break;
  case Odd::Fifo:
    ASSERT_EQ(mkfifo(where.c_str(), 0600), 0);
    break;
  case Odd::LinkToAFile:
    std::ofstream(where.string() + ".real") << "x";
    fs::create_symlink(where.string() + ".real", where);
    break;
  }
}

Bytes entry(const std::string &address, std::int32_t level)
{
  Bytes e(2 + address.size() + 4);
  putI16(e, 0, static_cast<std::int16_t>(address.size()));
  std::copy(address.begin(), address.end(), e.begin() + 2);
  putI32(e, 2 + address.size(), level);
  return e;
}

class DataFiles : public KnownUsersTest {
protected:
  void SetUp() override
  {
    KnownUsersTest::SetUp();
    clearRules();
    rulesDirty = 0;
  }
  void TearDown() override
  {
    clearRules();
    rulesDirty = 0;
    KnownUsersTest::TearDown();
  }
};

} // namespace

TEST_F(DataFiles, WhatIsNotARegularFileIsNotReadAndNeverBlocks)
{
  for (Odd kind : {Odd::LinkToDevZero, Odd::Fifo, Odd::LinkToAFile}) {
    fs::remove_all(root / "Application Data");
    putOdd(root / RULES_FILE, kind);
    putOdd(root / KNOWN_FILE, kind);
    {
      CriticalSectionGuard guard(&knownUsersLock);
      clearKnownUsers();
    }
    appendDefaultRules(u"Archive");
    EXPECT_FALSE(loadRulesFile()) << static_cast<int>(kind);
    EXPECT_EQ(countRules(), 3u) << "the defaults stay";
    loadKnownUsersFile();
    EXPECT_EQ(countKnownUsers(), 0u);
    // A save replaces the odd entry with a file and leaves what it pointed at.
    addKnownUser(u"ann@example.org", true);
    EXPECT_TRUE(saveKnownUsersFile(false));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root / KNOWN_FILE)));
    EXPECT_FALSE(fs::exists(root / (std::string(KNOWN_FILE) + ".damaged")));
    clearRules();
  }
}

TEST_F(DataFiles, ADamagedKnownUsersFileIsKeptBeforeItIsReplaced)
{
  Bytes damaged = entry("ann@example.org", 2);
  Bytes bad = entry("x", 2);
  putI16(bad, 0, 300); // a length no entry has
  append(damaged, bad);
  append(damaged, entry("bob@example.org", 2));
  writeFile(KNOWN_FILE, damaged);
  loadKnownUsersFile();
  EXPECT_EQ(countKnownUsers(), 1u) << "the entries before the damage are kept";
  addKnownUser(u"carl@example.org", true);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(saveKnownUsersFile(false));
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(readFile(std::string(KNOWN_FILE) + ".damaged"), damaged);
  EXPECT_NE(said.find("KnownUsers.dat was damaged"), std::string::npos) << said;
  // The next save has nothing more to keep and says nothing.
  addKnownUser(u"dora@example.org", true);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(saveKnownUsersFile(false));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(readFile(std::string(KNOWN_FILE) + ".damaged"), damaged);
  // A sound file is never kept.
  fs::remove(root / (std::string(KNOWN_FILE) + ".damaged"));
  loadKnownUsersFile();
  EXPECT_EQ(countKnownUsers(), 3u);
  addKnownUser(u"eve@example.org", true);
  ASSERT_TRUE(saveKnownUsersFile(false));
  EXPECT_FALSE(fs::exists(root / (std::string(KNOWN_FILE) + ".damaged")));
}

TEST_F(DataFiles, ACutOrOverlongRulesFileIsKeptBeforeItIsReplaced)
{
  Bytes rule(2064, 0);
  putU8(rule, 0, 1);
  Bytes cut = headerBytes();
  append(cut, rule);
  append(cut, Bytes(100, 7)); // a record cut short
  Bytes overlong = headerBytes();
  for (std::size_t i = 0; i <= MAX_RULES_READ; ++i)
    append(overlong, rule);
  for (const Bytes *file : {&cut, &overlong}) {
    fs::remove_all(root / "Application Data");
    writeFile(RULES_FILE, *file);
    ASSERT_TRUE(loadRulesFile());
    EXPECT_EQ(countRules(), file == &cut ? 1u : MAX_RULES_READ);
    rulesDirty = 1;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(saveRulesFile(false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Brindlewick.dat was damaged"), std::string::npos);
    EXPECT_EQ(readFile(std::string(RULES_FILE) + ".damaged"), *file);
  }
  // Exactly the bound is a sound file.
  Bytes full = headerBytes();
  for (std::size_t i = 0; i < MAX_RULES_READ; ++i)
    append(full, rule);
  fs::remove_all(root / "Application Data");
  writeFile(RULES_FILE, full);
  ASSERT_TRUE(loadRulesFile());
  rulesDirty = 1;
  ASSERT_TRUE(saveRulesFile(false));
  EXPECT_FALSE(fs::exists(root / (std::string(RULES_FILE) + ".damaged")));
}

TEST_F(DataFiles, WhatKilledSavesLeftGoesAtStartUpButNotWhatALiveWriterWrites)
{
  // 999999999 is above any process id Linux gives.
  const std::string dead = ".tmp.999999999.Ab12Cd";
  const std::string alive = ".tmp." + std::to_string(getpid()) + ".Ab12Cd";
  fs::path folder = root / "Application Data/Brindlewick";
  fs::create_directories(folder);
  for (const char *name : {".Brindlewick.dat", ".KnownUsers.dat"})
    for (const std::string &tail : {dead, alive})
      std::ofstream(folder / (name + tail)) << "cut";
  loadRulesFile();
  loadKnownUsersFile();
  EXPECT_FALSE(fs::exists(folder / (".Brindlewick.dat" + dead)));
  EXPECT_FALSE(fs::exists(folder / (".KnownUsers.dat" + dead)));
  EXPECT_TRUE(fs::exists(folder / (".Brindlewick.dat" + alive)));
  EXPECT_TRUE(fs::exists(folder / (".KnownUsers.dat" + alive)));
}
