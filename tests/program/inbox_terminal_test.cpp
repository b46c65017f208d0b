// The Inbox host's mail list in a real terminal (tmux, 80 x 24) beside the
// running program: the list shows the Inbox, the context menu and the
// "Menu" softkey hold the extension's popup, "Mark as Known" chosen from the
// keyboard makes the program know the sender, and the list follows mail that
// arrives, that the program moves away and that another client takes.
// "Create Filter..." shows the rule editor of the program, which runs without
// a terminal, on the host's terminal, and OK there adds the rule.
#include "tests/program/tmux_session.h"

namespace {

class InboxTerminal : public Program {
protected:
  void SetUp() override
  {
    Program::SetUp();
    setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
  }
  void TearDown() override
  {
    unsetenv("XDG_RUNTIME_DIR");
    Program::TearDown();
  }
  // The store tool's answer to one command line.
  std::string storeTool(const std::string &args) const
  {
    std::string out;
    FILE *p = popen(("'" + std::string(QM_STORE_PATH) + "' " + args + " 2>&1").c_str(), "r");
    if (!p)
      return out;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
      out.append(buffer, n);
    pclose(p);
    return out;
  }
  TempDir runtime; // the program's channel folder is the test's own
};

TEST_F(InboxTerminal, MailListMenusAndMarkAsKnown)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"", u"invoice", u"Bills"}}));
  deliver(store() / "Inbox", "1.M1.host", message("Ann Smith <ann@example.org>", "Lunch on Friday", "i1@x"));
  Installation inst;
  pid_t pid = start(inst, root);
  ASSERT_TRUE(waitFor([] { return extensionKeys() == 6; }));

  Tmux tmux(inst.dir.path);
  std::string command = "env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.path.string() +
                        "' TERM=tmux-256color '" + QM_INBOX_PATH + "'";
  ASSERT_EQ(tmux.run("new-session -d -s qm -x 80 -y 24 \"" + command + "\""), 0);

  // The list: the title, the heading, the unread message, the softkeys.
  ASSERT_TRUE(tmux.shows("Lunch on Friday")) << tmux.screen();
  std::string screen = tmux.screen();
  EXPECT_NE(screen.find("Inbox"), std::string::npos) << screen;
  EXPECT_NE(screen.find("*  Ann Smith"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Subject"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Exit"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Menu"), std::string::npos) << screen;

  // The context menu: the extension's popup, and its four commands.
  tmux.keys("S-F10");
  ASSERT_TRUE(tmux.shows("Sorrelby")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("Mark as Known")) << tmux.screen();
  screen = tmux.screen();
  for (const char *item : {"Create Filter...", "Create Appointment...", "Create Task..."})
    EXPECT_NE(screen.find(item), std::string::npos) << item << "\n" << screen;
  tmux.keys("Down");
  tmux.keys("Down");
  tmux.keys("Down");
  tmux.keys("Enter"); // "Mark as Known"
  ASSERT_TRUE(waitFor([&] { return storeTool("command is-known Local/Inbox/1.M1.host") == "1\n"; }))
      << tmux.screen();
  EXPECT_TRUE(tmux.gone("Sorrelby")) << "the menu closed\n" << tmux.screen();

  // The "Menu" softkey: the same popup, now with the other label, above
  // the host's own "Refresh".
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Refresh")) << tmux.screen();
  EXPECT_NE(tmux.screen().find("Sorrelby"), std::string::npos) << tmux.screen();
  tmux.keys("Enter");
  EXPECT_TRUE(tmux.shows("Mark as Unknown")) << tmux.screen();
  tmux.keys("Escape"); // back to the menu
  ASSERT_TRUE(tmux.gone("Mark as Unknown")) << tmux.screen();
  EXPECT_NE(tmux.screen().find("Refresh"), std::string::npos) << tmux.screen();
  tmux.keys("Escape");
  ASSERT_TRUE(tmux.gone("Refresh")) << tmux.screen();

  // Mail arrives; the program moves an invoice to Bills; another client
  // takes Ann's message away: the list follows each.
  deliver(store() / "Inbox", "2.M2.host", message("bob@example.net", "News of the week", "i2@x"));
  EXPECT_TRUE(tmux.shows("News of the week")) << tmux.screen();
  deliver(store() / "Inbox", "3.M3.host", message("bob@example.net", "Invoice 42", "i3@x"));
  EXPECT_TRUE(waitFor([&] { return folderOf(store(), "i3@x").find("Bills") != std::string::npos; },
                      std::chrono::seconds(30)));
  EXPECT_TRUE(tmux.gone("Invoice 42")) << tmux.screen();
  for (const char *sub : {"new", "cur"})
    for (const auto &e : fs::directory_iterator(store() / "Inbox" / sub))
      if (e.path().filename().string().rfind("1.M1.host", 0) == 0)
        fs::rename(e.path(), store() / "Deleted Items/cur/1.M1.host:2,S");
  EXPECT_TRUE(tmux.gone("Lunch on Friday")) << tmux.screen();
  EXPECT_NE(tmux.screen().find("News of the week"), std::string::npos) << tmux.screen();

  // "Exit" ends the host.
  tmux.keys("F1");
  EXPECT_TRUE(waitFor([&] { return tmux.run("has-session -t qm") != 0; }, std::chrono::seconds(30)))
      << tmux.screen();

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  Bytes known = readFile("Application Data/Brindlewick/KnownUsers.dat");
  Bytes ann = knownUser("ann@example.org", 2); // marked by hand; Bob is on his way (one move)
  EXPECT_TRUE(known.size() >= ann.size() && std::equal(ann.begin(), ann.end(), known.begin()));
}

TEST_F(InboxTerminal, CreateFilterShowsTheRuleEditorOnTheHostsTerminal)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"", u"invoice", u"Bills"}}));
  deliver(store() / "Inbox", "1.M1.host", message("Ann Smith <ann@example.org>", "Lunch on Friday", "i1@x"));
  Installation inst;
  pid_t pid = start(inst, root); // headless, as a service runs
  ASSERT_TRUE(waitFor([] { return extensionKeys() == 6; }));

  Tmux tmux(inst.dir.path);
  std::string command = "env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.path.string() +
                        "' TERM=tmux-256color '" + QM_INBOX_PATH + "'";
  ASSERT_EQ(tmux.run("new-session -d -s qm -x 80 -y 24 \"" + command + "\""), 0);
  ASSERT_TRUE(tmux.shows("Lunch on Friday")) << tmux.screen();
  tmux.keys("S-F10");
  ASSERT_TRUE(tmux.shows("Sorrelby")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("Create Filter...")) << tmux.screen();
  tmux.keys("Enter"); // the first command

  // The program's rule editor, filled from the message, on this terminal.
  ASSERT_TRUE(tmux.showsLine("[x] From:", "ann@example.org")) << tmux.screen();
  EXPECT_TRUE(tmux.showsLine("[x] Subject:", "Lunch on Friday")) << tmux.screen();
  EXPECT_TRUE(tmux.shows("Move to:")) << tmux.screen();
  tmux.keys("F1"); // OK
  ASSERT_TRUE(tmux.gone("Move to:")) << tmux.screen();
  EXPECT_TRUE(tmux.shows("Received")) << "the list is drawn again\n" << tmux.screen();
  EXPECT_TRUE(tmux.shows("Exit")) << tmux.screen();
  // The new rule moves the message to "Archive" at once, maybe before the
  // list is drawn again, maybe after: the list follows it away.
  EXPECT_TRUE(waitFor([&] { return folderOf(store(), "i1@x") == "Archive"; }, std::chrono::seconds(30)))
      << folderOf(store(), "i1@x");
  EXPECT_TRUE(tmux.gone("Lunch on Friday")) << tmux.screen();

  // The running program has the rule: it saves it with its next pass.
  const std::size_t twoRules = 14 + 2 * 2064;
  EXPECT_TRUE(waitFor([&] { return readFile("Application Data/Brindlewick/Brindlewick.dat").size() == twoRules; }));
  tmux.keys("F1"); // "Exit"
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  Bytes rules = readFile("Application Data/Brindlewick/Brindlewick.dat");
  ASSERT_EQ(rules.size(), twoRules);
  Bytes from(14 + 2064 + 258 + rules.begin(), 14 + 2064 + 258 + 30 + rules.begin());
  Bytes ann(30, 0);
  for (std::size_t i = 0; i < 15; ++i)
    ann[2 * i] = static_cast<unsigned char>(std::string("ann@example.org")[i]);
  EXPECT_EQ(from, ann) << "the new rule's sender";
}

TEST_F(InboxTerminal, OnAnEmptyDataRootTheListWaitsForTheStoreTheProgramMakes)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  Installation inst;
  Tmux tmux(inst.dir.path);
  std::string command = "env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.path.string() +
                        "' TERM=tmux-256color '" + QM_INBOX_PATH + "'";
  ASSERT_EQ(tmux.run("new-session -d -s qm -x 80 -y 24 \"" + command + "\""), 0);
  ASSERT_TRUE(tmux.shows("Subject")) << tmux.screen();
  EXPECT_FALSE(fs::exists(root / "Mail")) << "the host made a store";

  // The program's first start makes the store; mail comes: the list shows
  // it, and nothing but the list is on the screen.
  pid_t pid = start(inst, root);
  ASSERT_TRUE(waitFor([&] { return fs::exists(store() / "Inbox" / "new"); }));
  deliver(store() / "Inbox", "1.M1.host", message("Ann Smith <ann@example.org>", "Lunch on Friday", "i1@x"));
  EXPECT_TRUE(tmux.shows("Lunch on Friday")) << tmux.screen();
  EXPECT_EQ(tmux.screen().find("Mail"), std::string::npos) << tmux.screen();
  deliver(store() / "Inbox", "2.M2.host", message("bob@example.net", "News of the week", "i2@x"));
  EXPECT_TRUE(tmux.shows("News of the week")) << tmux.screen();

  tmux.keys("F1"); // "Exit"
  EXPECT_TRUE(waitFor([&] { return tmux.run("has-session -t qm") != 0; }, std::chrono::seconds(30)))
      << tmux.screen();
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
}

} // namespace
