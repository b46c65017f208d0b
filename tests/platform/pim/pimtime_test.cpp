// DATE values, iCalendar times and durations, and local time.
#include "platform/pim/pimtime.h"
#include "tests/platform/pim/zone_scope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

bool sameCivil(const CivilTime &a, const CivilTime &b)
{
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

TEST(PimTime, DatesFollowOleAutomation)
{
  struct Case {
    CivilTime civil;
    DATE date;
  } cases[] = {
      {{1899, 12, 30, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 0, 0, 0}, 2.0},
      {{1899, 12, 29, 6, 0, 0}, -1.25}, // before the epoch the fraction still runs forward
      {{1970, 1, 1, 0, 0, 0}, 25569.0},
      {{2000, 2, 29, 18, 30, 15}, 36585.771006944444},
      {{2026, 12, 8, 12, 0, 0}, 46364.5},
      {{4501, 1, 1, 0, 0, 0}, POOM_NO_DATE},
  };
  for (const Case &c : cases) {
    EXPECT_NEAR(civilToDate(c.civil), c.date, 1e-9) << c.civil.year;
    CivilTime back;
    ASSERT_TRUE(dateToCivil(c.date, &back));
    EXPECT_TRUE(sameCivil(back, c.civil)) << c.civil.year << "-" << back.month << "-" << back.day << " "
                                          << back.hour << ":" << back.minute << ":" << back.second;
  }
  CivilTime t;
  EXPECT_TRUE(dateToCivil(46364.99999999, &t)) << "rounds up into the next day";
  EXPECT_EQ(t.day, 9);
  EXPECT_EQ(t.hour, 0);
  EXPECT_FALSE(dateToCivil(NAN, &t));
  EXPECT_FALSE(dateToCivil(INFINITY, &t));
  EXPECT_FALSE(dateToCivil(3e6, &t));
  EXPECT_FALSE(dateToCivil(-7e5, &t));
}

TEST(PimTime, ReadsICalendarTimes)
{
  struct Case {
    const char *text;
    bool ok;
    CivilTime civil;
    bool dateOnly;
    bool utc;
  } cases[] = {
      {"20261208", true, {2026, 12, 8, 0, 0, 0}, true, false},
      {"20261208T093005", true, {2026, 12, 8, 9, 30, 5}, false, false},
      {"20261208T093005Z", true, {2026, 12, 8, 9, 30, 5}, false, true},
      {"1985-04-12", true, {1985, 4, 12, 0, 0, 0}, true, false},
      {"1985-04-12T23:20:50Z", true, {1985, 4, 12, 23, 20, 50}, false, true},
      {"20161231T235960Z", true, {2016, 12, 31, 23, 59, 59}, false, true}, // leap second
      {"20240229", true, {2024, 2, 29, 0, 0, 0}, true, false},
      {"20230229", false, {}, false, false},
      {"20261308", false, {}, false, false},
      {"20261208T2400", false, {}, false, false},
      {"20261208T240000", false, {}, false, false},
      {"20261208T093005+0100", false, {}, false, false},
      {"--0415", false, {}, false, false},
      {"2026120", false, {}, false, false},
      {"1985-04-1", false, {}, false, false},
      {"1985-04-12T23:20", false, {}, false, false},
      {"", false, {}, false, false},
  };
  for (const Case &c : cases) {
    ICalTime t;
    ASSERT_EQ(parseICalTime(c.text, &t), c.ok) << c.text;
    if (!c.ok)
      continue;
    EXPECT_TRUE(sameCivil(t.civil, c.civil)) << c.text;
    EXPECT_EQ(t.dateOnly, c.dateOnly) << c.text;
    EXPECT_EQ(t.utc, c.utc) << c.text;
  }
}

TEST(PimTime, ReadsDurations)
{
  struct Case {
    const char *text;
    bool ok;
    std::int64_t seconds;
  } cases[] = {
      {"PT15M", true, 900},   {"-PT15M", true, -900},  {"+P1D", true, 86400},
      {"P1W", true, 604800},  {"PT1H30M", true, 5400}, {"P1DT2H", true, 93600},
      {"PT0S", true, 0},      {"P", false, 0},         {"PT", false, 0},
      {"PT15", false, 0},     {"P1H", false, 0},       {"T1H", false, 0},
      {"PT1HT2M", false, 0},  {"", false, 0},
  };
  for (const Case &c : cases) {
    std::int64_t s = -1;
    ASSERT_EQ(parseICalDuration(c.text, &s), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(s, c.seconds) << c.text;
    }
  }
}

TEST(PimTime, LocalTimeFollowsTheZoneRules)
{
  ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
  CivilTime summer{2026, 7, 1, 12, 0, 0};
  CivilTime winter{2026, 1, 15, 12, 0, 0};
  EXPECT_EQ(formatICalUtc(localToUnix(summer)), "20260701T100000Z");
  EXPECT_EQ(formatICalUtc(localToUnix(winter)), "20260115T110000Z");
  EXPECT_TRUE(sameCivil(unixToLocal(localToUnix(summer)), summer));

  ICalTime utc;
  ASSERT_TRUE(parseICalTime("20260701T100000Z", &utc));
  EXPECT_NEAR(icalToDate(utc), civilToDate(summer), 1e-9) << "UTC times become local";
  ICalTime floating;
  ASSERT_TRUE(parseICalTime("20260701T100000", &floating));
  EXPECT_NEAR(icalToDate(floating), civilToDate({2026, 7, 1, 10, 0, 0}), 1e-9) << "floating times stay";
}

TEST(PimTime, UnixTimeRoundTripsAroundTheEpoch)
{
  for (std::int64_t s : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{-86401}, std::int64_t{1796731200},
                         std::int64_t{253402300799}}) {
    CivilTime t = unixToUtc(s);
    EXPECT_EQ(utcToUnix(t), s);
  }
  EXPECT_EQ(formatICalUtc(-1), "19691231T235959Z");
  EXPECT_EQ(formatICalDate({2026, 3, 4, 0, 0, 0}), "20260304");
}

} // namespace
