// The rules tool's writing and listing commands: every command, every
// option, bad input that changes nothing, the rules file byte for byte as
// the program writes it, and the refusal while the program runs.
#include "tests/tools/rulestool/rulestool_fixture.h"

#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "tests/support/command_run.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// The rules file's rules, one character each: the move target's first
// letter, upper case when the rule is enabled; without a move target '+'
// when enabled, '.' when not.
std::string ruleLetters()
{
  std::string s;
  if (!loadRulesFile())
    return "(no file)";
  for (const Rule *r = ruleList; r; r = r->next) {
    if (!r->moveTo[0])
      s += r->enabled ? '+' : '.';
    else
      s += static_cast<char>(r->enabled ? std::toupper(r->moveTo[0]) : std::tolower(r->moveTo[0]));
  }
  clearRules();
  return s;
}

TEST_F(RulesToolTest, ListShowsTheDefaultsUntilThereIsARulesFile)
{
  ToolRun run = rules({"list"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1 [x] Download where Read\n"
                     "2 [x] Download where From=\">> Known users <<\"\n"
                     "3 [ ] Move to Archive where Older than 1 min and Read\n");
  EXPECT_NE(run.err.find("default rules"), std::string::npos);
  EXPECT_TRUE(rulesFile().empty()); // listing writes nothing

  writeFile("Application Data/Brindlewick/Brindlewick.dat", {}); // an empty rules file: no rules
  run = rules({"list"});
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("no rules"), std::string::npos);
}

// The description lines come from the program's language module for the
// user's language, found beside the tool as the program finds its own.
TEST_F(RulesToolTest, ListSpeaksTheLanguageOfTheProgramsModule)
{
  TempDir installed;
  std::filesystem::copy_file(QM_RULES_PATH, installed.path / "qm-rules");
  {
    std::ofstream module(installed.path / "Brindlewick.419", std::ios::binary);
    module << "# Русский\n[strings]\n40006 = Загрузить\n40009 = где\n";
  }
  const char *before = std::getenv("LC_ALL");
  const std::string kept = before ? before : "";
  auto listIn = [&](const char *locale) {
    setenv("LC_ALL", locale, 1);
    CommandRun run = runCommand((installed.path / "qm-rules").string(), {"--root", root.string(), "list"});
    EXPECT_EQ(run.status, 0) << run.output;
    return run.output;
  };
  std::string russian = listIn("ru_RU.UTF-8");
  std::string english = listIn("en_US.UTF-8");
  if (before)
    setenv("LC_ALL", kept.c_str(), 1);
  else
    unsetenv("LC_ALL");
  // What the module lacks ("Read") comes from the program's own table.
  EXPECT_NE(russian.find("1 [x] Загрузить где Read\n"), std::string::npos) << russian;
  EXPECT_NE(english.find("1 [x] Download where Read\n"), std::string::npos) << english;
}

TEST_F(RulesToolTest, EachFieldsOptionWritesTheFileTheProgramWrites)
{
  ToolRun run = rules({"--root", root.string(), "add", "--mailbox", "Work", "--from", "Ann Lee", "--to", "team",
                       "--subject", "weekly report", "--at-least", "10", "--older-than", "5", "--read",
                       "--attachments", "--move-to", "Reports", "--sound", "/usr/share/sounds/ding.wav",
                       "--program", "/usr/bin/true", "--download", "--mark-read"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "added rule 4\n");
  ASSERT_EQ(rules({"add", "--known-users", "--at-most", "2", "--delete", "--disable"}).status, 0);
  std::vector<unsigned char> written = rulesFile();

  // The same rules made the way the program makes them, saved by the program.
  clearRules();
  appendDefaultRules(u"Archive");
  Rule *r = newRule();
  r->enabled = 1;
  std::memcpy(r->mailbox, u"Work", 10);
  std::memcpy(r->from, u"Ann Lee", 16);
  std::memcpy(r->to, u"team", 10);
  std::memcpy(r->subject, u"weekly report", 28);
  r->sizeLimit = 10 * 1024;
  r->olderThan = 5;
  r->isRead = 1;
  r->hasAttach = 1;
  std::memcpy(r->moveTo, u"Reports", 16);
  std::memcpy(r->playSound, u"/usr/share/sounds/ding.wav", 54);
  std::memcpy(r->execute, u"/usr/bin/true", 28);
  r->download = 1;
  r->markAsRead = 1;
  appendRule(r);
  Rule *k = newRule();
  std::memcpy(k->from, u">> Known users <<", 36);
  k->sizeLimit = -2 * 1024;
  std::memcpy(k->moveTo, u">> DELETE <<", 26);
  appendRule(k);
  ASSERT_TRUE(saveRulesFile(true));
  EXPECT_EQ(rulesFile(), written);
  clearRules();

  EXPECT_EQ(rules({"list"}).out,
            "1 [x] Download where Read\n"
            "2 [x] Download where From=\">> Known users <<\"\n"
            "3 [ ] Move to Archive where Older than 1 min and Read\n"
            "4 [x] Move to Reports and Play sound and Exec and Download and Mark as read where From=\"Ann Lee\" "
            "and To=\"team\" and Subj=\"weekly report\" and Larger than 10 K and Older than 5 min and Read and "
            "HasAttach  (mailbox Work)\n"
            "5 [ ] Delete where From=\">> Known users <<\" and Smaller than 2 K\n");
}

TEST_F(RulesToolTest, EditEnableDisableDeleteMove)
{
  ASSERT_EQ(rules({"add", "--subject", "a", "--move-to", "A"}).status, 0);
  ASSERT_EQ(rules({"add", "--subject", "b", "--move-to", "B", "--sound", "/s.wav"}).status, 0);
  struct Step {
    std::vector<std::string> args; // the command
    std::string out;               // what it says
    std::string lines;             // the rules afterwards, as ruleLetters gives them
  };
  const Step steps[] = {
      {{"disable", "1"}, "rule 1 disabled\n", ".+aAB"},
      {{"enable", "3"}, "rule 3 enabled\n", ".+AAB"},
      {{"disable", "4"}, "rule 4 disabled\n", ".+AaB"},
      {{"move", "5", "1"}, "moved rule 5 to 1\n", "B.+Aa"},
      {{"move", "1", "5"}, "moved rule 1 to 5\n", ".+AaB"},
      {{"move", "2", "3"}, "moved rule 2 to 3\n", ".A+aB"},
      {{"edit", "4", "--subject", "c", "--enable"}, "changed rule 4\n", ".A+AB"},
      {{"delete", "1"}, "deleted rule 1\n", "A+AB"},
      {{"delete", "4"}, "deleted rule 4\n", "A+A"},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.args[0] + " " + s.args[1]);
    ToolRun run = rules(s.args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, s.out);
    EXPECT_EQ(ruleLetters(), s.lines);
  }
  // An edit keeps what it is not told to change.
  ASSERT_EQ(rules({"edit", "3", "--no-move", "--at-most", "1"}).status, 0);
  EXPECT_EQ(rules({"list"}).out.substr(rules({"list"}).out.rfind("3 [x]")),
            "3 [x] Do nothing where Subj=\"c\" and Smaller than 1 K\n");
}

TEST_F(RulesToolTest, BadInputIsRefusedAndChangesNothing)
{
  ASSERT_EQ(rules({"add", "--subject", "keep"}).status, 0);
  const std::vector<unsigned char> before = rulesFile();
  const std::string long128(128, 'x');
  struct Case {
    std::vector<std::string> args;
    std::string errHas;
  };
  const Case cases[] = {
      {{}, "Usage: qm-rules"},
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"--bogus", "list"}, "unknown option --bogus"},
      {{"list", "extra"}, "list takes no arguments"},
      {{"add", "--colour", "red"}, "unknown option --colour"},
      {{"add", "--from"}, "--from needs a value"},
      {{"add", "--from", long128}, "--from: 128 characters; a rule's text holds at most 127"},
      {{"add", "--to", long128}, "--to: 128 characters"},
      {{"add", "--subject", long128}, "--subject: 128 characters"},
      {{"add", "--mailbox", long128}, "--mailbox: 128 characters"},
      {{"add", "--move-to", long128}, "--move-to: 128 characters"},
      {{"add", "--move-to", ""}, "--move-to needs a folder name"},
      {{"add", "--sound", "/" + long128}, "--sound: 129 characters"},
      {{"add", "--sound", "ding.wav"}, "--sound: give the file's full path"},
      {{"add", "--program", "run.sh"}, "--program: give the file's full path"},
      {{"add", "--subject", "\xff\xfe"}, "--subject: the value is not valid UTF-8"},
      {{"add", "--at-most", "0"}, "--at-most: \"0\" is not a number of kilobytes from 1 to 2097151"},
      {{"add", "--at-least", "2097152"}, "--at-least: \"2097152\" is not a number"},
      {{"add", "--at-least", "-5"}, "--at-least: \"-5\" is not a number"},
      {{"add", "--at-most", "ten"}, "--at-most: \"ten\" is not a number"},
      {{"add", "--older-than", "2147483648"}, "--older-than: \"2147483648\" is not a number of minutes"},
      {{"add", "--older-than", "1.5"}, "--older-than: \"1.5\" is not a number"},
      {{"add", "--at-most", "1", "--at-least", "2"}, "--at-least: the rule's size is given twice"},
      {{"add", "--from", "ann", "--known-users"}, "the rule's from is given twice"},
      {{"add", "--move-to", "X", "--delete"}, "the rule's move is given twice"},
      {{"add", "--read", "--no-read"}, "the rule's read is given twice"},
      {{"edit", "1"}, "nothing to change"},
      {{"edit"}, "edit takes a rule number"},
      {{"edit", "0", "--read"}, "\"0\" is not a rule number; the rules are numbered 1 to 4"},
      {{"edit", "5", "--read"}, "\"5\" is not a rule number"},
      {{"edit", "x", "--read"}, "\"x\" is not a rule number"},
      {{"edit", "1", "--subject", long128}, "--subject: 128 characters"},
      {{"enable"}, "enable takes one rule number"},
      {{"disable", "9"}, "\"9\" is not a rule number"},
      {{"delete", "-1"}, "\"-1\" is not a rule number"},
      {{"move", "1"}, "move takes two rule numbers"},
      {{"move", "1", "5"}, "\"5\" is not a rule number"},
      {{"export"}, "export takes one FILE"},
      {{"import", "a", "b"}, "import takes one FILE"},
      {{"explain", "--fast"}, "explain: unknown option --fast"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(nothing)") : c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    ToolRun run = rules(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    EXPECT_EQ(rulesFile(), before);
  }
  // 127 characters are stored whole.
  const std::string long127(127, 'y');
  ASSERT_EQ(rules({"edit", "4", "--subject", long127}).status, 0);
  ASSERT_TRUE(loadRulesFile());
  EXPECT_EQ(std::u16string(ruleList->next->next->next->subject), std::u16string(127, u'y'));
  clearRules();
}

TEST_F(RulesToolTest, ExportAndImportAreTheBackupFile)
{
  ASSERT_EQ(rules({"add", "--subject", "one"}).status, 0);
  ToolRun run = rules({"export", (root / "Varn.bak").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "exported 4 rules and 0 known senders to " + (root / "Varn.bak").string() + "\n");
  EXPECT_EQ(readFile("Varn.bak").size(), 1u + 14 + 4 + 4 * 2064 + 4);
  ASSERT_EQ(rules({"delete", "4"}).status, 0);

  writeFile("bad.bak", {1, 2, 3});
  run = rules({"import", (root / "bad.bak").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not a backup file"), std::string::npos) << run.err;
  EXPECT_EQ(rules({"list"}).out.find("Subj=\"one\""), std::string::npos);

  run = rules({"import", (root / "Varn.bak").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "imported 4 rules and 0 known senders; tray icon shown\n");
  EXPECT_NE(rules({"list"}).out.find("4 [x] Do nothing where Subj=\"one\""), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(root / "Application Data/Brindlewick/KnownUsers.dat"));
}

LRESULT standInProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(RulesToolTest, WritingCommandsAreRefusedWhileTheProgramRuns)
{
  ASSERT_EQ(rules({"add", "--subject", "mine"}).status, 0);
  const std::vector<unsigned char> before = rulesFile();
  ASSERT_EQ(rules({"export", (root / "Varn.bak").string()}).status, 0);
  // This process stands in for the running program: it owns the main window.
  WNDCLASSW wc{};
  wc.lpfnWndProc = standInProc;
  wc.lpszClassName = u"Quillmarsh Class";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND window = CreateWindowExW(0, u"Quillmarsh Class", u"Quillmarsh", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_TRUE(window);
  const std::vector<std::string> writes[] = {
      {"add", "--subject", "x"}, {"edit", "1", "--read"}, {"enable", "3"},
      {"disable", "1"},          {"delete", "1"},         {"move", "1", "2"},
      {"import", (root / "Varn.bak").string()},
  };
  for (const auto &args : writes) {
    SCOPED_TRACE(args[0]);
    ToolRun run = rules(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Brindlewick is running on " + root.string()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Stop it"), std::string::npos);
    EXPECT_EQ(rulesFile(), before);
  }
  // Reading goes on.
  EXPECT_EQ(rules({"list"}).status, 0);
  EXPECT_EQ(rules({"export", (root / "again.bak").string()}).status, 0);
  EXPECT_EQ(rules({"explain"}).status, 0);
  DestroyWindow(window);
  UnregisterClassW(u"Quillmarsh Class", nullptr);
}

} // namespace
