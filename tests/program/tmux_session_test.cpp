// The terminal tests' tmux server ends with the test process even when that
// process is killed from outside (a test runner's timeout), so that no server
// and no program in it is left to disturb the tests after.
#include "tests/program/tmux_session.h"

namespace {

TEST(TmuxSession, AServerEndsWithATestProcessKilledFromOutside)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  TempDir dir;
  const fs::path pidFile = dir.path / "pid";
  pid_t test = fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    // A test process that never gets to its destructors.
    Tmux *tmux = new Tmux(dir.path);
    tmux->run("new-session -d -s qm \"sh -c 'echo \\$\\$ > " + pidFile.string() + "; exec sleep 600'\"");
    waitFor([&] { return fs::exists(pidFile); });
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(test, &status, 0), test);
  ASSERT_TRUE(WIFSIGNALED(status));
  pid_t inPane = 0;
  std::ifstream(pidFile) >> inPane;
  ASSERT_GT(inPane, 0) << "the pane's program had started";

  Tmux after(dir.path);
  EXPECT_TRUE(waitFor([&] { return after.run("has-session") != 0; }, std::chrono::seconds(30)))
      << "the server outlived the test process";
  EXPECT_TRUE(waitFor([&] { return kill(inPane, 0) != 0; }, std::chrono::seconds(30)))
      << "the program in the pane outlived the test process";
}

} // namespace
