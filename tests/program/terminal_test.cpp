// The program in a real terminal (tmux): the rules list opened from the
// tray line, a rule switched off from the keyboard, Hide, SIGTERM, and the
// rules file written with that rule disabled. Screen content is polled with
// generous limits; nothing depends on how fast it comes.
#include "tests/program/program_fixture.h"

#include <cstdio>
#include <cstdlib>

namespace {

// A tmux server of the test's own, one window of the given size.
struct Tmux {
  std::string socket;
  explicit Tmux(const fs::path &dir) : socket((dir / "tmux.sock").string()) {}
  ~Tmux() { (void)run("kill-server"); }
  int run(const std::string &args) const
  {
    return std::system(("tmux -S '" + socket + "' " + args + " >/dev/null 2>&1").c_str());
  }
  std::string screen() const
  {
    std::string out;
    FILE *p = popen(("tmux -S '" + socket + "' capture-pane -p -t qm 2>/dev/null").c_str(), "r");
    if (!p)
      return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
      out.append(buffer, n);
    pclose(p);
    return out;
  }
  bool shows(const std::string &text) const
  {
    return waitFor([&] { return screen().find(text) != std::string::npos; }, std::chrono::seconds(30));
  }
  void keys(const std::string &names) const { (void)run("send-keys -t qm " + names); }
};

bool haveTmux()
{
  return std::system("command -v tmux >/dev/null 2>&1") == 0;
}

TEST_F(Program, RulesListInATerminalSwitchesARuleOff)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  Bytes rules = rulesFile({{u"ann@example.org", u"", u"Friends"}, {u"", u"invoice", u"Bills"}, {u"", u"", u">> DELETE <<"}});
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rules);
  Installation inst;
  fs::path pidFile = inst.dir.path / "pid";
  fs::path runtime = inst.dir.path / "run";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  Tmux tmux(inst.dir.path);
  std::string command = "env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.string() +
                        "' TERM=tmux-256color sh -c 'echo \\$\\$ > \"" + pidFile.string() + "\"; exec \"" +
                        inst.program.string() + "\"'";
  ASSERT_EQ(tmux.run("new-session -d -s qm -x 80 -y 24 \"" + command + "\""), 0);

  ASSERT_TRUE(tmux.shows("[Quillmarsh]")) << tmux.screen();
  tmux.keys("Enter"); // the tray line: opens the rules list
  ASSERT_TRUE(tmux.shows("[x] Move to Friends where From=\"ann@example.org\"")) << tmux.screen();
  EXPECT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\""));
  EXPECT_TRUE(tmux.shows("[x] Delete where"));

  tmux.keys("Down"); // from the mailbox box to the rules
  tmux.keys("Down"); // the first rule
  tmux.keys("Down"); // the second
  tmux.keys("Space");
  ASSERT_TRUE(tmux.shows("[ ] Move to Bills")) << tmux.screen();
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Hide")) << tmux.screen();
  tmux.keys("Enter"); // "Hide", the first item
  ASSERT_TRUE(waitFor([&] { return tmux.screen().find("Rule") == std::string::npos; }, std::chrono::seconds(30)))
      << tmux.screen();

  pid_t pid = 0;
  ASSERT_TRUE(waitFor([&] {
    std::ifstream in(pidFile);
    return static_cast<bool>(in >> pid);
  }));
  kill(pid, SIGTERM);
  ASSERT_TRUE(waitFor([&] { return kill(pid, 0) != 0; }, std::chrono::seconds(30)));

  Bytes expected = rules;
  expected[14 + 2064] = 0; // the second rule's enabled byte
  Bytes saved = readFile("Application Data/Brindlewick/Brindlewick.dat");
  ASSERT_EQ(saved.size(), expected.size());
  for (std::size_t i = 0; i < saved.size(); ++i)
    ASSERT_EQ(saved[i], expected[i]) << "byte " << i;
}

} // namespace
