#include "platform/pim/pimtime.h"

#include "platform/clock/clock.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  auto yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, CivilTime *t)
{
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  auto doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  unsigned d = doy - (153 * mp + 2) / 5 + 1;
  unsigned m = mp < 10 ? mp + 3 : mp - 9;
  t->year = static_cast<int>(y + (m <= 2));
  t->month = static_cast<int>(m);
  t->day = static_cast<int>(d);
}

// Days since 1970-01-01 of DATE 0 (1899-12-30).
constexpr std::int64_t DATE_EPOCH_DAYS = -25569;
constexpr std::int64_t SECONDS_PER_DAY = 86400;
constexpr double MIN_DATE = -657434.0; // 0100-01-01
constexpr double MAX_DATE = 2958466.0; // 10000-01-01

int daysInMonth(int year, int month)
{
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Reads exactly n digits.
bool digits(std::string_view s, std::size_t at, std::size_t n, int *value)
{
  if (at + n > s.size())
    return false;
  *value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9')
      return false;
    *value = *value * 10 + (s[i] - '0');
  }
  return true;
}

} // namespace

DATE civilToDate(const CivilTime &t)
{
  std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(t.month),
                                    static_cast<unsigned>(t.day)) -
                      DATE_EPOCH_DAYS;
  double time = (t.hour * 3600 + t.minute * 60 + t.second) / static_cast<double>(SECONDS_PER_DAY);
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

bool dateToCivil(DATE d, CivilTime *t)
{
  if (!std::isfinite(d) || d < MIN_DATE || d >= MAX_DATE)
    return false;
  double whole = std::trunc(d);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(d - whole) * SECONDS_PER_DAY));
  auto days = static_cast<std::int64_t>(whole);
  if (seconds >= SECONDS_PER_DAY) {
    seconds -= SECONDS_PER_DAY;
    ++days;
  }
  civilFromDays(days + DATE_EPOCH_DAYS, t);
  if (t->year > 9999)
    return false;
  t->hour = static_cast<int>(seconds / 3600);
  t->minute = static_cast<int>(seconds / 60 % 60);
  t->second = static_cast<int>(seconds % 60);
  return true;
}

std::int64_t utcToUnix(const CivilTime &t)
{
  return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
             SECONDS_PER_DAY +
         t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime unixToUtc(std::int64_t seconds)
{
  std::int64_t days = seconds >= 0 ? seconds / SECONDS_PER_DAY
                                   : -((-seconds + SECONDS_PER_DAY - 1) / SECONDS_PER_DAY);
  std::int64_t rest = seconds - days * SECONDS_PER_DAY;
  CivilTime t;
  civilFromDays(days, &t);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::int64_t localToUnix(const CivilTime &t)
{
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  std::time_t r = std::mktime(&tm);
  if (r == static_cast<std::time_t>(-1))
    return utcToUnix(t); // outside what the C library handles: no zone offset
  return static_cast<std::int64_t>(r);
}

CivilTime unixToLocal(std::int64_t seconds)
{
  std::time_t tt = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&tt, &tm))
    return unixToUtc(seconds);
  CivilTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  return t;
}

std::int64_t nowUnix()
{
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  // File times count 100 ns from 1601-01-01; Unix time starts 11644473600 s later.
  return static_cast<std::int64_t>(fileTimeToU64(ft) / 10000000ULL) - 11644473600LL;
}

bool parseICalTime(std::string_view s, ICalTime *out)
{
  ICalTime r;
  bool extended = s.size() > 4 && s[4] == '-';
  std::size_t at = 0;
  // A field of n digits, then (extended form only) its separator.
  auto field = [&](int n, int *value, char separator) {
    if (!digits(s, at, static_cast<std::size_t>(n), value))
      return false;
    at += static_cast<std::size_t>(n);
    if (!extended || !separator)
      return true;
    if (at < s.size() && s[at] == separator) {
      ++at;
      return true;
    }
    return false;
  };
  if (!field(4, &r.civil.year, '-') || !field(2, &r.civil.month, '-') ||
      !field(2, &r.civil.day, 0))
    return false;
  if (r.civil.year < 100 || r.civil.month < 1 || r.civil.month > 12 || r.civil.day < 1 ||
      r.civil.day > daysInMonth(r.civil.year, r.civil.month))
    return false;
  if (at == s.size()) {
    r.dateOnly = true;
    *out = r;
    return true;
  }
  if (s[at] != 'T' && s[at] != 't')
    return false;
  ++at;
  if (!field(2, &r.civil.hour, ':') || !field(2, &r.civil.minute, ':') ||
      !field(2, &r.civil.second, 0))
    return false;
  if (at < s.size() && (s[at] == 'Z' || s[at] == 'z')) {
    r.utc = true;
    ++at;
  }
  if (at != s.size() || r.civil.hour > 23 || r.civil.minute > 59 || r.civil.second > 60)
    return false;
  if (r.civil.second == 60)
    r.civil.second = 59;
  *out = r;
  return true;
}

DATE icalToDate(const ICalTime &t)
{
  if (t.dateOnly) {
    CivilTime midnight = t.civil;
    midnight.hour = midnight.minute = midnight.second = 0;
    return civilToDate(midnight);
  }
  if (t.utc)
    return civilToDate(unixToLocal(utcToUnix(t.civil)));
  return civilToDate(t.civil);
}

std::string formatICalUtc(std::int64_t seconds)
{
  CivilTime t = unixToUtc(seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string formatICalDate(const CivilTime &t)
{
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
  return buf;
}

bool parseICalDuration(std::string_view s, std::int64_t *seconds)
{
  std::size_t at = 0;
  bool negative = false;
  if (at < s.size() && (s[at] == '+' || s[at] == '-'))
    negative = s[at++] == '-';
  if (at >= s.size() || s[at++] != 'P')
    return false;
  bool inTime = false;
  bool any = false;
  std::int64_t total = 0;
  while (at < s.size()) {
    if (s[at] == 'T') {
      if (inTime)
        return false;
      inTime = true;
      ++at;
      continue;
    }
    std::int64_t n = 0;
    std::size_t start = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9' && at - start < 9)
      n = n * 10 + (s[at++] - '0');
    if (at == start || at >= s.size())
      return false;
    char unit = s[at++];
    if (!inTime && unit == 'W')
      total += n * 7 * SECONDS_PER_DAY;
    else if (!inTime && unit == 'D')
      total += n * SECONDS_PER_DAY;
    else if (inTime && unit == 'H')
      total += n * 3600;
    else if (inTime && unit == 'M')
      total += n * 60;
    else if (inTime && unit == 'S')
      total += n;
    else
      return false;
    any = true;
  }
  if (!any)
    return false;
  *seconds = negative ? -total : total;
  return true;
}
