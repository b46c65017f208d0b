#include "platform/clock/clock.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path &dir)
{
  std::set<std::string> names;
  for (const auto &e : fs::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

void touch(const fs::path &file)
{
  std::FILE *f = std::fopen(file.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fclose(f);
}

// Saves target with one line.
bool save(const fs::path &target, const char *text)
{
  AtomicFile af;
  if (!atomicOpen(&af, target))
    return false;
  std::fputs(text, af.file);
  return atomicCommit(&af);
}

// A child process that starts a replacement of target and then either dies
// at once, as a killed writer does, or writes until told to go on (a byte
// on the returned pipe) and then commits.
struct Writer {
  pid_t pid = -1;   // the child
  int go = -1;      // write end of its pipe
};

Writer startWriter(const fs::path &target, bool dies)
{
  int started[2], go[2];
  if (pipe(started) != 0 || pipe(go) != 0)
    return {};
  pid_t pid = fork();
  if (pid == 0) {
    // Only the test holds the pipe's write end: a test that ends without
    // the byte ends the wait too.
    close(go[1]);
    close(started[0]);
    AtomicFile af;
    bool opened = atomicOpen(&af, target);
    if (opened)
      std::fputs("from the child", af.file);
    (void)std::fflush(af.file);
    char c = opened ? 'o' : 'x';
    (void)!write(started[1], &c, 1);
    if (dies)
      _exit(0); // no commit, no abort: what a kill leaves
    (void)!read(go[0], &c, 1);
    _exit(atomicCommit(&af) ? 0 : 1);
  }
  close(started[1]);
  close(go[0]);
  char c = 0;
  (void)!read(started[0], &c, 1);
  close(started[0]);
  EXPECT_EQ(c, 'o');
  if (dies) {
    int status = 0;
    waitpid(pid, &status, 0);
    close(go[1]);
    return {};
  }
  return {pid, go[1]};
}

int finish(Writer w)
{
  char c = 'g';
  (void)!write(w.go, &c, 1);
  close(w.go);
  int status = 0;
  waitpid(w.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StaleTemporaries : public TempRootTest {
protected:
  void TearDown() override
  {
    clockUseReal();
    TempRootTest::TearDown();
  }

  // Moves the platform clock past the age at which an unlocked temporary
  // file counts as stale.
  void ageEverything()
  {
    clockSetForTest(0, unixToFileTime(std::time(nullptr) + STALE_TEMPORARY_SECONDS + 60));
  }
};

} // namespace

TEST_F(StaleTemporaries, KilledWritersFileIsRemovedAtTheNextSaveAndNamesItsWriter)
{
  fs::path target = root / "data.dat";
  startWriter(target, true);
  std::set<std::string> left = namesIn(root);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.begin()->rfind(".data.dat.tmp.", 0), 0u) << *left.begin();

  ASSERT_TRUE(save(target, "new"));
  EXPECT_EQ(namesIn(root), (std::set<std::string>{"data.dat"}));
}

TEST_F(StaleTemporaries, LiveWriterInAnotherProcessKeepsItsFileWhateverItsAge)
{
  fs::path target = root / "user.reg";
  Writer w = startWriter(target, false);
  ASSERT_GT(w.pid, 0);
  ageEverything(); // a writer stopped for long still holds its lock
  ASSERT_TRUE(save(target, "parent"));
  removeStaleTemporariesOf(target);
  EXPECT_EQ(namesIn(root).size(), 2u); // the target and the child's file
  EXPECT_EQ(finish(w), 0);
  EXPECT_EQ(namesIn(root), (std::set<std::string>{"user.reg"}));
  EXPECT_EQ(readFile("user.reg"), (std::vector<unsigned char>{'f', 'r', 'o', 'm', ' ', 't', 'h', 'e', ' ', 'c',
                                                               'h', 'i', 'l', 'd'}));
}

TEST_F(StaleTemporaries, UnlockedFileOfALiveProcessGoesOnlyWhenOld)
{
  // The moment between a writer creating its file and locking it, or a
  // killed writer's process id taken by another process.
  fs::path target = root / "rules.dat";
  std::string live = ".rules.dat.tmp." + std::to_string(getppid()) + ".Ab12Cd";
  touch(root / live);
  removeStaleTemporariesOf(target);
  EXPECT_TRUE(fs::exists(root / live));
  ageEverything();
  removeStaleTemporariesOf(target);
  EXPECT_FALSE(fs::exists(root / live));
}

TEST_F(StaleTemporaries, RecognisesOnlyItsOwnNames)
{
  fs::path target = root / "data.dat";
  // Earlier builds' names (no writer named): by age only.
  touch(root / ".data.dat.Q7xYz0");
  // A copy of a damaged file being kept (a link, so it has the old file's
  // times), dead and alive.
  touch(root / ".data.dat.damaged.tmp.999999999.kept");
  std::string keeping = ".data.dat.damaged.tmp." + std::to_string(getpid()) + ".kept";
  touch(root / keeping);
  // Not ours, or another file's.
  std::set<std::string> others = {".data.dat.damaged", ".data.dat.tmp.12.", ".data.dat.tmp.x1.abcdef",
                                  ".data.dat.lock", ".data.dat.Q7xYz", ".other.dat.tmp.999999999.Ab12Cd",
                                  ".tmp.999999999.Ab12Cd", "data.dat.tmp.999999999.Ab12Cd"};
  for (const auto &name : others)
    touch(root / name);

  removeStaleTemporariesOf(target);
  std::set<std::string> expected = others;
  expected.insert(".data.dat.Q7xYz0");
  expected.insert(keeping);
  EXPECT_EQ(namesIn(root), expected);

  ageEverything();
  removeStaleTemporariesOf(target);
  expected.erase(".data.dat.Q7xYz0");
  expected.erase(keeping);
  EXPECT_EQ(namesIn(root), expected);

  // A folder-wide sweep takes every file's, never the earlier form's.
  touch(root / ".data.dat.Q7xYz1");
  removeStaleTemporaries(root, {});
  expected.erase(".other.dat.tmp.999999999.Ab12Cd");
  expected.insert(".data.dat.Q7xYz1");
  EXPECT_EQ(namesIn(root), expected);
}
