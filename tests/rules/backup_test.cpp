// The backup file: its exact bytes, an import that replaces both lists and
// rewrites both data files, and every kind of bad file refused before
// anything changes.
#include "rules/backup.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "services/settings.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

constexpr const char *RULES_FILE = "Application Data/Brindlewick/Brindlewick.dat";
constexpr const char *KNOWN_USERS_FILE = "Application Data/Brindlewick/KnownUsers.dat";

class Backup : public RulesTest {
protected:
  void SetUp() override
  {
    RulesTest::SetUp();
    createKnownUsersLock();
    knownUsersDirty = 0;
  }
  void TearDown() override
  {
    knownUsersDirty = 0;
    deleteKnownUsersLock();
    RulesTest::TearDown();
  }

  std::filesystem::path backupPath() const { return root / "Varn.bak"; }

  Bytes readBackup() const { return readFile("Varn.bak"); }

  void writeBackup(const Bytes &bytes) const { writeFile("Varn.bak", bytes); }

  std::u16string traySetting() const
  {
    WCHAR text[16];
    return readSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, text, sizeof text) ? text : u"(none)";
  }
};

// A record as the program creates it: enabled, the subject, a move target.
Bytes recordBytes(std::u16string_view subject, std::u16string_view moveTo)
{
  Bytes rec(2064, 0);
  putU8(rec, 0, 1);
  putText(rec, 770, subject);
  putText(rec, 1294, moveTo);
  return rec;
}

void appendRuleFromBytes(const Bytes &rec)
{
  Rule *rule = newRule();
  std::memcpy(rule, rec.data(), RULE_FILE_RECORD_SIZE);
  appendRule(rule);
}

// The two rules and one known user of the 4162-byte example.
Bytes twoRulesOneUser(std::uint8_t trayFlag)
{
  Bytes b{trayFlag};
  append(b, headerBytes());
  append(b, int32Bytes(2));
  append(b, recordBytes(u"invoice", u"Bills"));
  append(b, recordBytes(u"news", u">> DELETE <<"));
  append(b, int32Bytes(1));
  Bytes user(2 + 5 + 4, 0);
  putI16(user, 0, 5);
  for (int i = 0; i < 5; ++i)
    user[2 + i] = static_cast<std::uint8_t>("a@b.c"[i]);
  putI32(user, 7, 2);
  append(b, user);
  return b;
}

TEST_F(Backup, ExportOfNothingIsTwentyThreeBytes)
{
  std::string reason;
  ASSERT_TRUE(exportBackup(backupPath(), &reason)) << reason;
  Bytes expected{1}; // no "ShowTrayIcon": the icon is shown
  append(expected, headerBytes());
  append(expected, int32Bytes(0));
  append(expected, int32Bytes(0));
  EXPECT_EQ(readBackup(), expected);
  EXPECT_EQ(expected.size(), BACKUP_EMPTY_SIZE);
}

TEST_F(Backup, ExportOfTwoRulesAndOneKnownUserIs4162Bytes)
{
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
  appendRuleFromBytes(recordBytes(u"invoice", u"Bills"));
  appendRuleFromBytes(recordBytes(u"news", u">> DELETE <<"));
  addKnownUser(u"a@b.c", true);
  std::string reason;
  ASSERT_TRUE(exportBackup(backupPath(), &reason)) << reason;
  Bytes written = readBackup();
  EXPECT_EQ(written.size(), 4162u);
  EXPECT_EQ(written, twoRulesOneUser(0));
  // An export replaces an older backup whole.
  clearRules();
  ASSERT_TRUE(exportBackup(backupPath(), &reason)) << reason;
  EXPECT_EQ(readBackup().size(), BACKUP_EMPTY_SIZE + 11);
}

TEST_F(Backup, ImportReplacesBothListsAndRewritesBothFiles)
{
  appendRuleFromBytes(recordBytes(u"old", u"Old"));
  addKnownUser(u"old@example.org", true);
  rulesDirty = 1;
  writeBackup(twoRulesOneUser(0));
  BackupSummary summary;
  std::string reason;
  ASSERT_TRUE(importBackup(backupPath(), &summary, &reason)) << reason;
  EXPECT_EQ(summary.rules, 2u);
  EXPECT_EQ(summary.knownUsers, 1u);
  EXPECT_FALSE(summary.trayIcon);

  ASSERT_EQ(countRules(), 2u);
  EXPECT_EQ(std::u16string(ruleList->subject), u"invoice");
  EXPECT_EQ(std::u16string(ruleList->next->moveTo), u">> DELETE <<");
  EXPECT_TRUE(isKnownUser(u"A@B.C"));
  EXPECT_FALSE(isKnownUser(u"old@example.org"));
  EXPECT_EQ(rulesDirty, 0);
  EXPECT_EQ(knownUsersDirty, 0);

  Bytes rulesFile = headerBytes();
  append(rulesFile, recordBytes(u"invoice", u"Bills"));
  append(rulesFile, recordBytes(u"news", u">> DELETE <<"));
  EXPECT_EQ(readFile(RULES_FILE), rulesFile);
  Bytes knownFile(11, 0);
  putI16(knownFile, 0, 5);
  for (int i = 0; i < 5; ++i)
    knownFile[2 + i] = static_cast<std::uint8_t>("a@b.c"[i]);
  putI32(knownFile, 7, 2);
  EXPECT_EQ(readFile(KNOWN_USERS_FILE), knownFile);
  EXPECT_EQ(traySetting(), u"FALSE");

  // Exporting what was imported gives the same file back.
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"false");
  ASSERT_TRUE(exportBackup(root / "again.bak", &reason)) << reason;
  EXPECT_EQ(readFile("again.bak"), twoRulesOneUser(0));
}

TEST_F(Backup, BadFilesAreRefusedBeforeAnythingChanges)
{
  const Bytes good = twoRulesOneUser(1);
  struct Case {
    std::string what;
    Bytes bytes;
    std::string reasonHas;
  };
  std::vector<Case> cases = {
      {"empty", {}, "empty"},
      {"text", Bytes{'H', 'e', 'l', 'l', 'o', ',', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n', '\n', '\n'},
       "not a backup"},
      {"rules file, not a backup", headerBytes(), "not a backup"},
      {"tray flag 2", [&] { Bytes b = good; b[0] = 2; return b; }(), "tray flag"},
      {"negative rule count", [&] { Bytes b = good; putI32(b, 15, -1); return b; }(), "negative"},
      {"more rules counted than held", [&] { Bytes b = good; putI32(b, 15, 3); return b; }(), "2 whole rules of 3"},
      {"known-user length 128", [&] { Bytes b = good; putI16(b, good.size() - 11, 128); return b; }(), "length of 128"},
      {"known-user length -1", [&] { Bytes b = good; putI16(b, good.size() - 11, -1); return b; }(), "damaged"},
      {"negative known-user count", [&] { Bytes b = good; putI32(b, good.size() - 15, -2); return b; }(), "negative"},
      {"data after its end", [&] { Bytes b = good; b.push_back(0); return b; }(), "after its known senders"},
  };
  // Cuts of a good backup: byte by byte through its framing and the known
  // senders, in steps through the rule records.
  for (std::size_t n = 1; n < good.size(); n += (n < 40 || n > good.size() - 40) ? 1 : 97)
    cases.push_back({"cut to " + std::to_string(n), Bytes(good.begin(), good.begin() + static_cast<long>(n)),
                     "cut short"});

  appendRuleFromBytes(recordBytes(u"mine", u"Kept"));
  addKnownUser(u"me@example.org", false);
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
  rulesDirty = 1;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    writeBackup(c.bytes);
    BackupSummary summary;
    std::string reason;
    EXPECT_FALSE(importBackup(backupPath(), &summary, &reason));
    EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << reason;
    EXPECT_NE(reason.find("Varn.bak"), std::string::npos) << reason; // names the file
    ASSERT_EQ(countRules(), 1u);
    EXPECT_EQ(std::u16string(ruleList->subject), u"mine");
    EXPECT_EQ(countKnownUsers(), 1u);
    EXPECT_EQ(rulesDirty, 1);
    EXPECT_FALSE(std::filesystem::exists(root / RULES_FILE));
    EXPECT_FALSE(std::filesystem::exists(root / KNOWN_USERS_FILE));
    EXPECT_EQ(traySetting(), u"FALSE");
  }
}

TEST_F(Backup, MissingFilesAndFoldersAreRefused)
{
  BackupSummary summary;
  std::string reason;
  EXPECT_FALSE(importBackup(root / "none.bak", &summary, &reason));
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;
  EXPECT_FALSE(importBackup(root, &summary, &reason));
  EXPECT_NE(reason.find("not a file"), std::string::npos) << reason;
  EXPECT_FALSE(exportBackup(root / "no folder" / "x.bak", &reason));
  EXPECT_NE(reason.find("cannot write"), std::string::npos) << reason;
}

TEST_F(Backup, ImportThatCannotWriteTheRulesFileChangesNothing)
{
  appendRuleFromBytes(recordBytes(u"mine", u"Kept"));
  addKnownUser(u"me@example.org", true);
  // A folder where the rules file belongs: it cannot be replaced.
  std::filesystem::create_directories(root / RULES_FILE);
  writeBackup(twoRulesOneUser(0));
  BackupSummary summary;
  std::string reason;
  EXPECT_FALSE(importBackup(backupPath(), &summary, &reason));
  EXPECT_NE(reason.find("nothing was imported"), std::string::npos) << reason;
  ASSERT_EQ(countRules(), 1u);
  EXPECT_EQ(std::u16string(ruleList->moveTo), u"Kept");
  EXPECT_TRUE(isKnownUser(u"me@example.org"));
  EXPECT_EQ(rulesDirty, 0);
  EXPECT_FALSE(std::filesystem::exists(root / KNOWN_USERS_FILE));
  EXPECT_EQ(traySetting(), u"(none)");
}

} // namespace
