#include "platform/clock/clock.h"
#include "platform/fs/datapath.h"
#include "platform/fs/files.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using DataPath = TempRootTest;

TEST_F(DataPath, DevicePathsMapBelowTheRoot)
{
  EXPECT_EQ(*devicePath(u"\\Application Data\\Brindlewick\\Brindlewick.dat"),
            root / "Application Data/Brindlewick/Brindlewick.dat");
  EXPECT_EQ(*devicePath(u"Registry/user.reg"), root / "Registry/user.reg");
  EXPECT_FALSE(devicePath(u"\\..\\etc\\passwd"));
  EXPECT_FALSE(devicePath(u"\\a\\.\\b"));
  EXPECT_FALSE(devicePath(u"\\"));
}

TEST_F(DataPath, RootFallsBackToXdgDataHome)
{
  unsetenv("QUILLMARSH_ROOT");
  setenv("XDG_DATA_HOME", "/tmp/xdg-here", 1);
  EXPECT_EQ(dataRoot(), std::filesystem::path("/tmp/xdg-here/quillmarsh"));
  unsetenv("XDG_DATA_HOME");
  setenv("QUILLMARSH_ROOT", root.c_str(), 1);
}

TEST_F(DataPath, AtomicReplaceKeepsOldFileUntilCommit)
{
  writeFile("data.dat", {1, 2, 3});
  AtomicFile af;
  ASSERT_TRUE(atomicOpenDevice(&af, u"\\data.dat"));
  std::fputs("new", af.file);
  EXPECT_EQ(readFile("data.dat"), (std::vector<unsigned char>{1, 2, 3}));
  ASSERT_TRUE(atomicCommit(&af));
  EXPECT_EQ(readFile("data.dat"), (std::vector<unsigned char>{'n', 'e', 'w'}));
  // No temporary file is left beside it.
  int files = 0;
  for (auto &e : std::filesystem::directory_iterator(root)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(DataPath, AbortedReplaceLeavesNothing)
{
  writeFile("data.dat", {7});
  AtomicFile af;
  ASSERT_TRUE(atomicOpenDevice(&af, u"\\data.dat"));
  std::fputs("partial", af.file);
  atomicAbort(&af);
  EXPECT_EQ(readFile("data.dat"), (std::vector<unsigned char>{7}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 1);
  // A folder that does not exist cannot take a replacement.
  EXPECT_FALSE(atomicOpenDevice(&af, u"\\missing\\data.dat"));
}

TEST_F(DataPath, ReadsOnlyWholeRegularFilesWithoutBlockingAndBounded)
{
  writeFile("data.dat", {'a', 'b', 'c', 'd'});
  std::filesystem::create_symlink(root / "data.dat", root / "link.dat");
  std::filesystem::create_symlink("/dev/zero", root / "zero.dat");
  ASSERT_EQ(mkfifo((root / "fifo.dat").c_str(), 0600), 0); // opened blocking, this would wait for a writer
  std::string bytes = "old";
  EXPECT_EQ(readRegularFile(root / "data.dat", 4, &bytes), 0);
  EXPECT_EQ(bytes, "abcd");
  EXPECT_EQ(readRegularFile(root / "data.dat", 3, &bytes), EFBIG);
  EXPECT_EQ(bytes, "abc");
  EXPECT_EQ(readRegularFile(root / "missing.dat", 10, &bytes), ENOENT);
  EXPECT_EQ(readRegularFile(root / "link.dat", 10, &bytes), ELOOP);
  EXPECT_EQ(readRegularFile(root / "zero.dat", 10, &bytes), ELOOP);
  EXPECT_EQ(readRegularFile(root / "fifo.dat", 10, &bytes), EINVAL);
  EXPECT_EQ(readRegularFile(root, 10, &bytes), EINVAL);
  EXPECT_TRUE(bytes.empty());
}

TEST(Clock, TestSeamMovesTickAndFileTimeTogether)
{
  clockSetForTest(0xFFFFFFF0u, unixToFileTime(0));
  clockAdvance(0x20);
  EXPECT_EQ(GetTickCount(), 0x10u); // wraps as on the handheld
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  EXPECT_EQ(fileTimeToU64(ft), unixToFileTime(0) + 0x20 * 10000ULL);
  clockUseReal();
  GetSystemTimeAsFileTime(&ft);
  EXPECT_GT(fileTimeToU64(ft), unixToFileTime(1700000000));
}
