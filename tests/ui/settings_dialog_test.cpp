// The About/settings dialog on the test display: the tray switch and the
// download limit on OK, and Export and Import of the backup file through
// the platform's file dialogs, with the rules list open beneath.
#include "platform/shell/msgbox.h"
#include "platform/window/tray.h"
#include "rules/known_users.h"
#include "rules/rules_file.h"
#include "tests/ui/editor_scene.h"
#include "ui/resources/resource_ids.h"
#include "ui/settings_dialog.h"

namespace {

constexpr const char *RULES_FILE = "Application Data/Brindlewick/Brindlewick.dat";
constexpr const char *KNOWN_USERS_FILE = "Application Data/Brindlewick/KnownUsers.dat";
constexpr WORD FILE_NAME_FIELD = 102; // the name field of the platform's file dialogs

class SettingsDialog : public DialogTest {
protected:
  static INT_PTR run(std::vector<DialogStep> steps)
  {
    testDisplayScript(std::move(steps));
    return openSettingsDialog(mainWindow);
  }

  // A step that answers the file dialog in front with path.
  static DialogStep answerFile(const std::filesystem::path &path)
  {
    return [path](HWND picker) {
      SetDlgItemTextW(picker, FILE_NAME_FIELD, utf8ToUtf16(path.string()).c_str());
      command(picker, IDOK);
    };
  }

  static std::u16string setting(const WCHAR *name)
  {
    WCHAR text[128] = {};
    return readSetting(SETTINGS_KEY, name, text, sizeof text) ? text : u"(missing)";
  }
};

TEST_F(SettingsDialog, OkWritesTheTraySwitchAndTheLimitAsTyped)
{
  maxDownloadKB = 0;
  EXPECT_EQ(run({[](HWND d) {
              EXPECT_TRUE(checked(d, IDC_TRAY_ICON)) << "no setting: the icon is shown";
              EXPECT_EQ(text(d, IDC_DOWNLOAD_LIMIT), u"");
              EXPECT_EQ(entries(d, IDC_DOWNLOAD_LIMIT).size(), 6u);
              click(d, IDC_TRAY_ICON);
              SetDlgItemTextW(d, IDC_DOWNLOAD_LIMIT, u"250");
              command(d, IDOK);
            }}),
            0);
  EXPECT_EQ(setting(SETTING_SHOW_TRAY_ICON), u"FALSE");
  EXPECT_EQ(setting(SETTING_MAX_DOWNLOAD_SIZE), u"250");
  EXPECT_EQ(maxDownloadKB, 250);

  run({[](HWND d) {
    EXPECT_FALSE(checked(d, IDC_TRAY_ICON));
    EXPECT_EQ(text(d, IDC_DOWNLOAD_LIMIT), u"250");
    click(d, IDC_TRAY_ICON);
    SetDlgItemTextW(d, IDC_DOWNLOAD_LIMIT, u"");
    command(d, IDOK);
  }});
  EXPECT_EQ(setting(SETTING_SHOW_TRAY_ICON), u"TRUE");
  EXPECT_EQ(setting(SETTING_MAX_DOWNLOAD_SIZE), u"");
  EXPECT_EQ(maxDownloadKB, 0);
  EXPECT_EQ(trayIcons().size(), 1u) << "the icon follows the switch on OK";

  run({[](HWND d) {
    click(d, IDC_TRAY_ICON);
    SetDlgItemTextW(d, IDC_DOWNLOAD_LIMIT, u"77");
    command(d, IDCANCEL);
  }});
  EXPECT_EQ(setting(SETTING_SHOW_TRAY_ICON), u"TRUE") << "Cancel writes nothing";
  EXPECT_EQ(maxDownloadKB, 0);
}

TEST_F(SettingsDialog, ExportWritesTheBackupBytesAndAddsBak)
{
  run({[](HWND d) { command(d, IDC_EXPORT); }, answerFile(root / "empty"), [](HWND d) { command(d, IDCANCEL); }});
  auto empty = readFile("empty.bak");
  ASSERT_EQ(empty.size(), 23u) << "the flag, the rule header, two zero counts";
  EXPECT_EQ(empty[0], 1) << "no tray setting: the icon is shown";

  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
  addRule({.from = u"a@b.c"});
  addRule({.moveTo = u"Work"});
  addKnownUser(u"x@y.z", true);
  run({[](HWND d) { command(d, IDC_EXPORT); }, answerFile(root / "two.bak"), [](HWND d) { command(d, IDOK); }});
  auto two = readFile("two.bak");
  EXPECT_EQ(two.size(), 4162u);
  EXPECT_EQ(two[0], 0) << "the stored setting, not the box";
}

TEST_F(SettingsDialog, ImportReplacesBothFilesRefillsTheListAndSurvivesCancel)
{
  addRule({.subject = u"kept in the backup"});
  addKnownUser(u"ann@example.org", true);
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
  run({[](HWND d) { command(d, IDC_EXPORT); }, answerFile(root / "Varn.bak"), [](HWND d) { command(d, IDCANCEL); }});
  const auto backup = readFile("Varn.bak");

  clearRules();
  addRule({.subject = u"changed since"});
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"TRUE");
  run({[](HWND d) {
         EXPECT_TRUE(checked(d, IDC_TRAY_ICON));
         command(d, IDC_IMPORT);
       },
       answerFile(root / "Varn.bak"),
       [](HWND d) {
         EXPECT_FALSE(checked(d, IDC_TRAY_ICON)) << "the imported setting";
         command(d, IDCANCEL);
       }});
  ASSERT_EQ(countRules(), 1u);
  EXPECT_EQ(std::u16string(ruleList->subject), u"kept in the backup");
  EXPECT_EQ(setting(SETTING_SHOW_TRAY_ICON), u"FALSE") << "written by the import, kept after Cancel";

  run({[](HWND d) { command(d, IDC_EXPORT); }, answerFile(root / "again.bak"), [](HWND d) { command(d, IDCANCEL); }});
  EXPECT_EQ(readFile("again.bak"), backup) << "the import restored the exported state";
  EXPECT_FALSE(readFile(RULES_FILE).empty()) << "both files written at once";
  EXPECT_FALSE(readFile(KNOWN_USERS_FILE).empty());
}

TEST_F(SettingsDialog, ABadBackupIsRefusedWithABoxAndNothingReplaced)
{
  addRule({.subject = u"mine"});
  ASSERT_TRUE(saveRulesFile(true));
  const auto rulesBefore = readFile(RULES_FILE);
  writeFile("cut.bak", {1, 'V', 0, 'a'});
  writeFile("empty.bak", {});
  (void)messageBoxTakeRecorded();
  for (const char *name : {"cut.bak", "empty.bak"}) {
    run({[](HWND d) { command(d, IDC_IMPORT); }, answerFile(root / name), [](HWND d) { command(d, IDCANCEL); }});
    auto boxes = messageBoxTakeRecorded();
    ASSERT_EQ(boxes.size(), 1u) << name;
    EXPECT_NE(utf16ToUtf8(boxes[0].text).find(name), std::string::npos) << "names the file";
    ASSERT_EQ(countRules(), 1u);
    EXPECT_EQ(std::u16string(ruleList->subject), u"mine");
    EXPECT_EQ(readFile(RULES_FILE), rulesBefore);
  }

  run({[](HWND d) { command(d, IDC_EXPORT); }, answerFile(root / "no such folder" / "x.bak"),
       [](HWND d) { command(d, IDCANCEL); }});
  auto boxes = messageBoxTakeRecorded();
  ASSERT_EQ(boxes.size(), 1u) << "an export that fails is said";
  EXPECT_NE(utf16ToUtf8(boxes[0].text).find("x.bak"), std::string::npos);
}

} // namespace

namespace {

// The screen's line holding the text, or -1.
int lineOf(const std::string &text)
{
  const std::vector<std::string> lines = testDisplayScreen();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].find(text) != std::string::npos)
      return static_cast<int>(i);
  return -1;
}

TEST_F(SettingsDialog, OnAShortScreenTheBackupButtonsStayInView)
{
  int tall = -1;
  run({[&](HWND) {
         tall = lineOf("[Export]");
         testDisplaySetScreenSize(240, 10 * DISPLAY_CELL_HEIGHT); // title, 8 lines, softkeys
       },
       [&](HWND) {
         const int shortLine = lineOf("[Export]");
         EXPECT_GT(shortLine, lineOf("Do not download larger")) << screenText();
         EXPECT_LT(shortLine, 9) << "above the softkey bar\n" << screenText();
         EXPECT_EQ(lineOf("[Import]"), shortLine);
         testDisplaySetScreenSize(240, 320);
       },
       [&](HWND d) {
         EXPECT_EQ(lineOf("[Export]"), tall) << "back in place on a tall screen";
         command(d, IDCANCEL);
       }});
  EXPECT_GT(tall, 5);
}

} // namespace
