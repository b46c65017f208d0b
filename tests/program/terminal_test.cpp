// The program in a real terminal (tmux): the start-up line above the tray
// line, the rules list opened from the tray line, a rule switched off from the keyboard, Hide, SIGTERM, and the
// rules file written with that rule disabled. Screen content is polled with
// generous limits; nothing depends on how fast it comes.
#include "services/settings.h"
#include "tests/program/tmux_session.h"

#include <sys/stat.h>

namespace {

TEST_F(Program, RulesListInATerminalSwitchesARuleOff)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  Bytes rules = rulesFile({{u"ann@example.org", u"", u"Friends"}, {u"", u"invoice", u"Bills"}, {u"", u"", u">> DELETE <<"}});
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rules);
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;

  ASSERT_TRUE(tmux.shows("Brindlewick: sorting the mail")) << tmux.screen();
  // The start-up line stands above the status line, which has a line of its own.
  ASSERT_TRUE(waitFor([&] {
    std::istringstream lines(tmux.screen());
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("[Quillmarsh] Enter: rules list", 0) == 0)
        return line.find_first_not_of(' ', 30) == std::string::npos;
    return false;
  })) << tmux.screen();
  tmux.keys("Enter"); // the tray line: opens the rules list
  ASSERT_TRUE(tmux.shows("[x] Move to Friends where From=\"ann@example.org\"")) << tmux.screen();
  EXPECT_EQ(tmux.screen().find("Brindlewick:"), std::string::npos) << "nothing drawn over the screen";
  EXPECT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\""));
  EXPECT_TRUE(tmux.shows("[x] Delete where"));

  tmux.keys("Down"); // the rules have the focus: the first rule
  tmux.keys("Down"); // the second
  tmux.keys("Space");
  ASSERT_TRUE(tmux.shows("[ ] Move to Bills")) << tmux.screen();
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Hide")) << tmux.screen();
  tmux.keys("Enter"); // "Hide", the first item
  ASSERT_TRUE(tmux.gone("Rule")) << tmux.screen();

  ASSERT_TRUE(program.stop());

  Bytes expected = rules;
  expected[14 + 2064] = 0; // the second rule's enabled byte
  Bytes saved = readFile("Application Data/Brindlewick/Brindlewick.dat");
  ASSERT_EQ(saved.size(), expected.size());
  for (std::size_t i = 0; i < saved.size(); ++i)
    ASSERT_EQ(saved[i], expected[i]) << "byte " << i;
}

TEST_F(Program, WithTheTrayIconOffTheTerminalShowsNoTrayLine)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"ann@example.org", u"", u"Friends"}}));
  writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
  deliver(store() / "Inbox", "1.M1.host", message("ann@example.org", "Hi", "t1@x"));
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  // The first pass has run: start-up is over, the tray icon was not added,
  // and the screen shows all the program wrote before it.
  ASSERT_TRUE(waitFor([&] { return folderOf(store(), "t1@x") == "Inbox/Friends"; }));
  ASSERT_TRUE(program.tmux.mark("(drawn so far)")) << program.tmux.screen();
  EXPECT_EQ(program.tmux.screen().find("[Quillmarsh]"), std::string::npos) << program.tmux.screen();
  EXPECT_TRUE(program.stop());
}

TEST_F(Program, AStoreWarningWhileTheRulesListIsShownWaitsUntilItIsLeft)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"ann@example.org", u"", u"Friends"}}));
  TerminalProgram program(root, 160, 24); // the line with its path fits
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;
  ASSERT_TRUE(tmux.shows("[Quillmarsh] Enter: rules list")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("[x] Move to Friends")) << tmux.screen();

  // A FIFO under a message's name, which the store says it does not read,
  // then a message the rule moves: once that is moved, the store has spoken.
  ASSERT_EQ(mkfifo((store() / "Inbox" / "new" / "1.M1.fifo").c_str(), 0600), 0);
  deliver(store() / "Inbox", "2.M2.host", message("ann@example.org", "Hi", "t2@x"));
  ASSERT_TRUE(waitFor([&] { return folderOf(store(), "t2@x") == "Inbox/Friends"; }));
  ASSERT_TRUE(tmux.mark("(drawn so far)")) << tmux.screen();
  EXPECT_EQ(tmux.screen().find("message not read"), std::string::npos) << "drawn over the screen:\n"
                                                                      << tmux.screen();
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Hide")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("1.M1.fifo: message not read (not a regular file)")) << tmux.screen();
  ASSERT_TRUE(tmux.shows("[Quillmarsh] Enter: rules list")) << tmux.screen();
  std::string screen = tmux.screen();
  EXPECT_LT(screen.find("message not read"), screen.rfind("[Quillmarsh]")) << "above the status line:\n" << screen;
  EXPECT_TRUE(program.stop());
}

} // namespace
