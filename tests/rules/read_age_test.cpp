#include "rules/read_age.h"

#include "tests/rules/match_fixture.h"

#include <atomic>
#include <climits>
#include <thread>
#include <vector>

using ReadAgeTest = MatchTest;

TEST_F(ReadAgeTest, SecondsSinceTheFirstCall)
{
  const BYTE id[] = {1, 2, 3};
  EXPECT_EQ(readAgeSeconds(3, id), 0);
  clockAdvance(10'999);
  EXPECT_EQ(readAgeSeconds(3, id), 10); // truncated
  clockAdvance(1);
  EXPECT_EQ(readAgeSeconds(3, id), 11); // the recorded time stays
  EXPECT_EQ(countReadAges(), 1u);
}

TEST_F(ReadAgeTest, EntriesAreKeyedBySizeAndBytes)
{
  const BYTE a[] = {1, 2, 3};
  const BYTE b[] = {1, 2, 4};
  EXPECT_EQ(readAgeSeconds(3, a), 0);
  clockAdvance(5'000);
  EXPECT_EQ(readAgeSeconds(2, a), 0); // a prefix is another id
  EXPECT_EQ(readAgeSeconds(3, b), 0);
  EXPECT_EQ(readAgeSeconds(0, nullptr), 0);
  EXPECT_EQ(countReadAges(), 4u);
  EXPECT_EQ(readAgeSeconds(3, a), 5);

  forgetReadAge(2, a);
  forgetReadAge(2, a); // nothing left to forget
  EXPECT_EQ(countReadAges(), 3u);
  forgetReadAge(0, nullptr);
  forgetReadAge(3, b); // the tail: later entries still append behind the rest
  EXPECT_EQ(readAgeSeconds(1, a), 0);
  EXPECT_EQ(countReadAges(), 2u);
  EXPECT_EQ(readAgeSeconds(3, a), 5);
}

TEST_F(ReadAgeTest, ClockSetBackOrFarAhead)
{
  const BYTE id[] = {7};
  EXPECT_EQ(readAgeSeconds(1, id), 0);
  clockSetForTest(0, MATCH_TEST_EPOCH - 20'000'000);
  EXPECT_EQ(readAgeSeconds(1, id), -2);
  clockSetForTest(0, MATCH_TEST_EPOCH + 10'000'000ull * 3'000'000'000ull);
  EXPECT_EQ(readAgeSeconds(1, id), INT_MAX);
  clockSetForTest(0, 0);
  EXPECT_EQ(readAgeSeconds(1, id), INT_MIN);
}

// Processing passes on several threads record and forget at once.
TEST_F(ReadAgeTest, ConcurrentRecordAndForget)
{
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i) {
        BYTE id[2] = {static_cast<BYTE>(t), static_cast<BYTE>(i % 50)};
        (void)readAgeSeconds(2, id); // only the table's consistency is looked at
        if (i % 3 == 0)
          forgetReadAge(2, id);
      }
    });
  for (auto &th : threads)
    th.join();
  // Each thread's last 50 ids: those forgotten last stay away.
  std::size_t expected = 0;
  for (int k = 0; k < 50; ++k) {
    int last = 450 + k; // the last i with i % 50 == k
    expected += (last % 3 == 0) ? 0 : 1;
  }
  EXPECT_EQ(countReadAges(), 4 * expected);
}
