// Times of the contacts and calendar server: the object model's DATE values
// (local time, days since 1899-12-30 with the time of day as the fraction)
// and iCalendar's DATE and DATE-TIME texts.
#pragma once

#include "platform/com/dispatch.h"

#include <cstdint>
#include <string>
#include <string_view>

// A calendar date and wall-clock time, without a time zone.
struct CivilTime {
  int year = 1899;  // 100 to 9999
  int month = 12;   // 1 to 12
  int day = 30;     // 1 to 31
  int hour = 0;     // 0 to 23
  int minute = 0;   // 0 to 59
  int second = 0;   // 0 to 59 (a leap second 60 is read as 59)
};

// 4501-01-01, the object model's "no date" (a task without a due date, a
// contact without a birthday).
constexpr DATE POOM_NO_DATE = 949998.0;

// DATE of a civil time; negative values follow OLE's rule (the fraction is
// the time after the day given by the whole part).
DATE civilToDate(const CivilTime &t);

// Civil time of a DATE, rounded to the second. False for NaN, infinities and
// values outside the years 100 to 9999.
bool dateToCivil(DATE d, CivilTime *t);

// Seconds since 1970-01-01 UTC of a civil time taken as UTC, and back.
std::int64_t utcToUnix(const CivilTime &t);
CivilTime unixToUtc(std::int64_t seconds);

// The same for a civil time taken as local time (the TZ rules of the C
// library; a time that a clock change skips or repeats is resolved as
// mktime does).
std::int64_t localToUnix(const CivilTime &t);
CivilTime unixToLocal(std::int64_t seconds);

// Now, from the platform clock (so tests can set it), as Unix seconds.
std::int64_t nowUnix();

// A DATE or DATE-TIME value of iCalendar or vCard.
struct ICalTime {
  CivilTime civil;       // the fields as written
  bool dateOnly = false; // "YYYYMMDD" (a whole day)
  bool utc = false;      // ended in 'Z'
};

// Reads "YYYYMMDD", "YYYYMMDDTHHMMSS[Z]" and the extended forms
// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS[Z]" (vCard 3.0 birthdays). Fields out of
// range, missing digits or trailing text make it false.
bool parseICalTime(std::string_view text, ICalTime *out);

// DATE local time of an iCalendar time: UTC times are turned into local time;
// floating times and times with a TZID are taken as local time.
DATE icalToDate(const ICalTime &t);

// "YYYYMMDDTHHMMSSZ" of a Unix time.
std::string formatICalUtc(std::int64_t seconds);

// "YYYYMMDD" of a civil date.
std::string formatICalDate(const CivilTime &t);

// A DURATION value ("P1D", "-PT15M", "P1W", "PT1H30M") in seconds. False
// when it is not one.
bool parseICalDuration(std::string_view text, std::int64_t *seconds);
