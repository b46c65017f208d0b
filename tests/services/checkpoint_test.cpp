// The checkpoint marker: "CP" only grows, across runs and across threads.
#include "services/checkpoint.h"

#include "services/settings.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

TEST_F(Checkpoint, SmallerThanAnEarlierRunWritesNothing)
{
  earlierRun("\"CP\"=dword:00000007");
  markCheckpoint(5);
  EXPECT_EQ(hiveNow(), hive);
  markCheckpoint(7);
  EXPECT_EQ(hiveNow(), hive);
  markCheckpoint(9);
  EXPECT_EQ(storedCp(), 9);
}

TEST_F(Checkpoint, MissingOrUnreadableStartsFromNothing)
{
  markCheckpoint(3); // no key yet: created
  EXPECT_EQ(storedCp(), 3);
  markCheckpoint(2);
  EXPECT_EQ(storedCp(), 3);
  markCheckpoint(4);
  EXPECT_EQ(storedCp(), 4);

  forgetCheckpointCache();
  earlierRun("\"CP\"=\"77\""); // not a 32-bit number: as if missing
  markCheckpoint(1);
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
    done = true;
    watcher.join();
    EXPECT_FALSE(lowered.load()) << round;
    EXPECT_EQ(storedCp(), TOP) << round;
  }
}

} // namespace
