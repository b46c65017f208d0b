// The record cache on its own: the list order, exact stale drops, and that
// a lookup looks at no record while none can be stale.
#include "engine/record_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr DWORD STALE_MS = 30000;

struct CacheFixture : ::testing::Test {
  RecordCache cache;
  int keepCalls = 0;

  ~CacheFixture() override
  {
    for (MessageInfo *record : cacheTakeAll(&cache))
      freeMessageInfo(record);
  }

  MessageInfo *push(std::uint8_t id, DWORD now)
  {
    MessageInfo *record = newMessageInfo(1, &id);
    EXPECT_NE(cachePush(&cache, record, now), nullptr);
    return record;
  }

  void see(std::uint8_t id, DWORD now) { cacheMarkSeen(&cache, cacheFind(&cache, 1, &id), now); }

  // Ids of the records dropped as stale at now, keeping `kept`.
  std::string takeStale(DWORD now, int kept = -1)
  {
    std::string ids;
    auto keep = [&](const MessageInfo *r) {
      ++keepCalls;
      return r->entryId[0] == kept;
    };
    for (MessageInfo *record : cacheTakeStale(&cache, now, STALE_MS, keep)) {
      ids += static_cast<char>('0' + record->entryId[0]);
      freeMessageInfo(record);
    }
    return ids;
  }

  std::string order()
  {
    std::string ids;
    RecordSlot *before = nullptr;
    for (RecordSlot *slot = cache.first; slot; before = slot, slot = slot->after) {
      ids += static_cast<char>('0' + slot->record->entryId[0]);
      EXPECT_EQ(slot->before, before) << "the back links follow the list";
    }
    return ids;
  }
};

TEST_F(CacheFixture, NewestFirstAndUnlinkAnywhere)
{
  MessageInfo *one = push(1, 0);
  push(2, 0);
  MessageInfo *three = push(3, 0);
  push(4, 0);
  EXPECT_EQ(order(), "4321");
  std::uint8_t two = 2;
  MessageInfo *again = newMessageInfo(1, &two);
  EXPECT_EQ(cachePush(&cache, again, 0), nullptr) << "one record per entry id";
  freeMessageInfo(again);
  ASSERT_TRUE(cacheUnlink(&cache, three));
  EXPECT_EQ(order(), "421");
  ASSERT_TRUE(cacheUnlink(&cache, one));
  EXPECT_FALSE(cacheUnlink(&cache, one));
  EXPECT_EQ(order(), "42");
  freeMessageInfo(three);
  freeMessageInfo(one);
  push(5, 0);
  EXPECT_EQ(order(), "542");
  EXPECT_EQ(cacheSize(&cache), 3u);
}

TEST_F(CacheFixture, StaleIsExactAndLooksAtNothingWhileNoneCanBe)
{
  push(1, 1000);
  push(2, 1000);
  push(3, 1000);
  see(2, 20000);
  EXPECT_EQ(takeStale(31000), "");
  EXPECT_EQ(keepCalls, 0) << "nothing was older than 30000 ms: no record looked at";
  EXPECT_EQ(takeStale(31001), "31");
  EXPECT_EQ(order(), "2");
  EXPECT_EQ(takeStale(50000), "");
  EXPECT_EQ(takeStale(50001), "2");
  EXPECT_EQ(cacheSize(&cache), 0u);
}

TEST_F(CacheFixture, RevisitedRecordsAreNotLookedAtAgainForAWhile)
{
  for (std::uint8_t id = 0; id < 100; ++id)
    push(id, 0);
  // Revisits every 5 s mark every record seen; lookups come in between.
  int sweeps = 0;
  for (DWORD now = 5000; now <= 300000; now += 5000) {
    for (std::uint8_t id = 0; id < 100; ++id)
      see(id, now);
    int before = keepCalls;
    EXPECT_EQ(takeStale(now + 100), "");
    sweeps += keepCalls > before;
  }
  EXPECT_EQ(cacheSize(&cache), 100u);
  EXPECT_LE(sweeps, 60 / 5) << "about one look at all records per stale time, not one per lookup";
}

TEST_F(CacheFixture, AKeptRecordIsDroppedOnceNoLongerKept)
{
  push(1, 0);
  push(2, 0);
  see(2, 40000);
  EXPECT_EQ(takeStale(40000, 1), "");
  EXPECT_EQ(takeStale(40001, 1), "") << "still kept";
  EXPECT_EQ(takeStale(40002), "1");
  EXPECT_EQ(order(), "2");
}

TEST_F(CacheFixture, AClockThatWentBackMakesLaterSeenRecordsStale)
{
  push(1, 100000);
  push(2, 100000);
  see(1, 90000); // the clock went back by 10 s
  // Record 2 was seen "after" now: by unsigned difference it is stale.
  EXPECT_EQ(takeStale(95000), "2");
  EXPECT_EQ(order(), "1");
  EXPECT_EQ(takeStale(120000), "");
  EXPECT_EQ(takeStale(120001), "1");
}

TEST_F(CacheFixture, TickCountsWrapAround)
{
  push(1, 0xFFFFF000u);
  push(2, 0xFFFFF000u);
  see(2, 10000); // 14096 ms later, past the wrap
  EXPECT_EQ(takeStale(0xFFFFF000u + STALE_MS), "");
  EXPECT_EQ(takeStale(0xFFFFF000u + STALE_MS + 1), "1");
  EXPECT_EQ(order(), "2");
}

} // namespace
