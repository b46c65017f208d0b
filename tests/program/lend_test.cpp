// A program running without a terminal (as a service runs it) shows its
// rules list on the terminal of a second start (tmux): Hide gives the
// terminal back and the second start ends with 1, the first one running on
// with no descriptor left open; Exit there ends the first one with 0.
#include "tests/program/tmux_session.h"

#include <algorithm>
#include <fcntl.h>
#include <set>

namespace {

// The program without a terminal, as a service runs it; its standard
// error goes to a file.
pid_t startHeadless(const Installation &inst, const fs::path &root, const fs::path &runtime)
{
  pid_t pid = fork();
  if (pid == 0) {
    endWithTest();
    setenv("QUILLMARSH_ROOT", root.c_str(), 1);
    setenv("QUILLMARSH_DISPLAY", "headless", 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    int fd = open((inst.dir.path / "first.err").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0)
      dup2(fd, 2);
    execl(inst.program.c_str(), inst.program.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  return pid;
}

// The program's open descriptors ("number target" each), but for the
// registry's files and folder: a registry call holds them only while it
// runs, and the checkpoint writer may be in one at any moment.
std::set<std::string> openDescriptors(pid_t pid)
{
  std::set<std::string> open;
  std::error_code ec;
  for (const auto &e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code gone;
    std::string target = fs::read_symlink(e.path(), gone).string();
    // A descriptor closed while the list is read is not open any more.
    if (!gone && !target.empty() && target.find("/Registry") == std::string::npos)
      open.insert(e.path().filename().string() + " " + target);
  }
  return open;
}

// Every descriptor open now was open already in `before`: the program may
// have closed some meanwhile (a file it had open for a moment), but keeps
// nothing new.
bool noneBut(const std::set<std::string> &before, const std::set<std::string> &now)
{
  return std::includes(before.begin(), before.end(), now.begin(), now.end());
}

std::string listed(const std::set<std::string> &descriptors)
{
  std::string list;
  for (const std::string &d : descriptors)
    list += d + "\n";
  return list;
}

bool running(pid_t pid)
{
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

TEST_F(Program, SecondStartShowsAHeadlessProgramsRulesListOnItsTerminal)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat",
            rulesFile({{u"ann@example.org", u"", u"Friends"}, {u"", u"invoice", u"Bills"}, {u"", u"", u">> DELETE <<"}}));
  Installation inst;
  fs::path runtime = inst.dir.path / "run";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  pid_t first = startHeadless(inst, root, runtime);
  ASSERT_TRUE(waitFor([&] {
    std::ifstream in(inst.dir.path / "first.err");
    std::string said{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return said.find("Brindlewick: sorting") != std::string::npos;
  })) << "the first program has started";
  // What the program has open before the second start; it opens files for a
  // moment now and then (hives, side files), so some may be closed later.
  const std::set<std::string> descriptors = openDescriptors(first);

  Tmux tmux(inst.dir.path);
  // The pane stays after the second start has ended, to show its exit code.
  auto second = [&](const std::string &round) {
    return "\"env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.string() +
           "' TERM=tmux-256color sh -c '\\\"" + inst.program.string() + "\\\"; echo " + round +
           " ended with \\$?; exec sleep 600'\"";
  };
  ASSERT_EQ(tmux.run("new-session -d -s qm -x 80 -y 24 " + second("first round")), 0);
  ASSERT_TRUE(tmux.shows("[x] Move to Friends where From=\"ann@example.org\"")) << tmux.screen();
  EXPECT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\""));
  EXPECT_TRUE(tmux.shows("[x] Delete where"));
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Hide")) << tmux.screen();
  tmux.keys("Enter"); // "Hide"
  ASSERT_TRUE(tmux.shows("first round ended with 1")) << tmux.screen();
  EXPECT_TRUE(tmux.shows("its rules list was shown on")) << tmux.screen(); // the line wraps at 80
  EXPECT_TRUE(running(first));
  EXPECT_TRUE(waitFor([&] { return noneBut(descriptors, openDescriptors(first)); }))
      << "the terminal and everything that came with it are closed:\n"
      << listed(descriptors) << "now:\n" << listed(openDescriptors(first));

  ASSERT_EQ(tmux.run("respawn-pane -k -t qm " + second("second round")), 0);
  ASSERT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\"")) << tmux.screen();
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("Exit")) << tmux.screen();
  tmux.keys("Up"); // from "Hide" round to "Exit", the last item
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("second round ended with 1")) << tmux.screen();
  EXPECT_EQ(finish(first), 0);
}

} // namespace
