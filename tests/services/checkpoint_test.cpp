// The checkpoint marker: "CP" only grows, across runs and across threads.
#include "services/checkpoint.h"

#include "services/settings.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {

class Checkpoint : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    forgetCheckpointCache(); // a new run of the program
  }
  // A hive as an earlier run left it; a rewrite by the registry would drop
  // the comment line, so it shows whether anything was written.
  void earlierRun(const std::string &cpLine)
  {
    hive = "Windows Registry Editor Version 5.00\n; left by an earlier run\n\n"
           "[HKEY_CURRENT_USER\\Software\\Tarnwell\\Brindlewick]\n" +
           cpLine + "\n";
    writeFile("Registry/user.reg", std::vector<unsigned char>(hive.begin(), hive.end()));
  }
  std::string hiveNow()
  {
    auto bytes = readFile("Registry/user.reg");
    return std::string(bytes.begin(), bytes.end());
  }
  std::string hive;
};

// "CP" as stored now, or -1.
long storedCp()
{
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return -1;
  DWORD type = 0, value = 0, size = 4;
  LONG rc = RegQueryValueExW(key, u"CP", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(value) : -1;
}

// How many times a file was renamed into the watched folder, by the events
// waiting on the inotify descriptor.
int rewritesOf(int watch, const std::string &name)
{
  int rewrites = 0;
  alignas(inotify_event) char events[4096];
  ssize_t got;
  while ((got = read(watch, events, sizeof events)) > 0)
    for (char *p = events; p < events + got;) {
      auto *e = reinterpret_cast<inotify_event *>(p);
      rewrites += e->len > 0 && std::string(e->name) == name;
      p += sizeof(inotify_event) + e->len;
    }
  return rewrites;
}

TEST_F(Checkpoint, SmallerThanAnEarlierRunWritesNothing)
{
  earlierRun("\"CP\"=dword:00000007");
  markCheckpoint(5);
  flushCheckpoint();
  EXPECT_EQ(hiveNow(), hive);
  markCheckpoint(7);
  flushCheckpoint();
  EXPECT_EQ(hiveNow(), hive);
  markCheckpoint(9);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 9);
}

TEST_F(Checkpoint, MissingOrUnreadableStartsFromNothing)
{
  markCheckpoint(3); // no key yet: created
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 3);
  markCheckpoint(2);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 3);
  markCheckpoint(4);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 4);

  forgetCheckpointCache();
  earlierRun("\"CP\"=\"77\""); // not a 32-bit number: as if missing
  markCheckpoint(1);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 1);
}

TEST_F(Checkpoint, ConcurrentCallersNeverLowerTheStoredValue)
{
  constexpr int THREADS = 8, ROUNDS = 3, TOP = 40;
  for (int round = 0; round < ROUNDS; ++round) {
    earlierRun("");
    forgetCheckpointCache();
    std::atomic<bool> done{false};
    std::atomic<bool> lowered{false};
    std::thread watcher([&] {
      long last = -1;
      while (!done.load()) {
        long now = storedCp();
        if (now < last)
          lowered = true;
        last = std::max(last, now);
      }
    });
    // Every thread climbs the same numbers, so they race at every step.
    std::vector<std::thread> callers;
    for (int t = 0; t < THREADS; ++t)
      callers.emplace_back([] {
        for (int n = 1; n <= TOP; ++n)
          markCheckpoint(n);
      });
    for (auto &c : callers)
      c.join();
    flushCheckpoint();
    done = true;
    watcher.join();
    EXPECT_FALSE(lowered.load()) << round;
    EXPECT_EQ(storedCp(), TOP) << round;
  }
}

// A climb of new highs while another process holds the hive: no caller
// waits for it, and once it is free the highest number is written after a
// few rewrites, not one per number.
TEST_F(Checkpoint, ACallerNeverWaitsForTheHive)
{
  earlierRun("");
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, (root / "Registry").c_str(), IN_MOVED_TO), 0);
  int lock = open((root / "Registry/user.reg.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  for (int n = 1; n <= 40; ++n)
    markCheckpoint(n); // would wait for the lock if the callers wrote
  EXPECT_EQ(hiveNow(), hive);
  close(lock);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 40);

  int rewrites = rewritesOf(watch, "user.reg");
  close(watch);
  // The key made, the number that was taken first, the highest.
  EXPECT_GE(rewrites, 1);
  EXPECT_LE(rewrites, 3);
}

// On a fresh data root the settings key and "CP" come in one rewrite of the
// hive, and the number is written without a flush: the gathering ends by
// itself.
TEST_F(Checkpoint, AFreshRootGetsKeyAndNumberInOneRewrite)
{
  std::filesystem::create_directories(root / "Registry");
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, (root / "Registry").c_str(), IN_MOVED_TO), 0);
  markCheckpoint(1);
  for (int i = 0; i < 3000 && storedCp() != 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(storedCp(), 1);
  EXPECT_EQ(rewritesOf(watch, "user.reg"), 1);
  close(watch);
}

// Waits, at most thirty seconds, until a thread waits for the flock held on
// the open file fd: /proc/locks lists the waiter ("->") with the file's inode.
bool flockWaitedFor(int fd)
{
  struct stat st{};
  if (fstat(fd, &st) != 0)
    return false;
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  do {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
      if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
        return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

// A child made by fork while a write was under way has no writer thread: it
// ends without waiting for one, and a new high of its own is still written.
TEST_F(Checkpoint, AForkedChildNeitherHangsNorLosesItsOwnHigh)
{
  earlierRun("");
  int lock = open((root / "Registry/user.reg.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  markCheckpoint(5);
  // The fork comes while the parent's writer waits for the hive, not while
  // it starts or allocates: the sanitizers' allocator has no fork handlers,
  // so a lock of it held then would stay held in the child for ever.
  ASSERT_TRUE(flockWaitedFor(lock));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(lock); // the child's copy of the lock's descriptor
    // The wait it inherited for its exit; then _exit, as the sanitizers'
    // leak check at exit would count the allocations of the parent's writer,
    // whose thread the child lacks, as lost.
    flushCheckpoint();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(lock);
  flushCheckpoint();
  EXPECT_EQ(storedCp(), 5);

  child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    markCheckpoint(6);
    flushCheckpoint();
    _exit(storedCp() == 6 ? 0 : 1);
  }
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
