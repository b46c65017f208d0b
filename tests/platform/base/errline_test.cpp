#include "platform/errline/errline.h"
#include "platform/fs/files.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> taken; // what the test sink was handed

void takeLine(const std::string &line) { taken.push_back(line); }

class ErrorLines : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    taken.clear();
  }
  void TearDown() override
  {
    setErrorLineSink(nullptr);
    TempRootTest::TearDown();
  }
};

} // namespace

TEST_F(ErrorLines, GoToStandardErrorUntilASinkTakesThemOver)
{
  testing::internal::CaptureStderr();
  writeErrorLine("first");
  setErrorLineSink(takeLine);
  writeErrorLine("second\n");
  // A platform service's warning goes the same way: a FIFO is not read.
  ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(openRegularFile(root / "pipe"), nullptr);
  setErrorLineSink(nullptr);
  writeErrorLine("third");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\nthird\n");
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], "second\n") << "one newline, added only when missing";
  EXPECT_EQ(taken[1], (root / "pipe").string() + " is not a regular file; not read\n");
}
