#include "platform/clock/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG EPOCH_DIFF_SECONDS = 11644473600ULL;

std::mutex testClockLock;      // guards the two frozen values together
bool testClock = false;        // true while a test has frozen the clock
DWORD testTick = 0;            // frozen tick count
ULONGLONG testFileTime = 0;    // frozen file time

} // namespace

DWORD GetTickCount()
{
  {
    std::lock_guard<std::mutex> guard(testClockLock);
    if (testClock)
      return testTick;
  }
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void GetSystemTimeAsFileTime(FILETIME *out)
{
  {
    std::lock_guard<std::mutex> guard(testClockLock);
    if (testClock) {
      *out = u64ToFileTime(testFileTime);
      return;
    }
  }
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
  *out = u64ToFileTime(static_cast<ULONGLONG>(units) + EPOCH_DIFF_SECONDS * 10000000ULL);
}

ULONGLONG fileTimeToU64(const FILETIME &ft)
{
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME u64ToFileTime(ULONGLONG v)
{
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

ULONGLONG unixToFileTime(std::int64_t seconds)
{
  return static_cast<ULONGLONG>(seconds + static_cast<std::int64_t>(EPOCH_DIFF_SECONDS)) *
         10000000ULL;
}

void clockSetForTest(DWORD tickCount, ULONGLONG fileTime)
{
  std::lock_guard<std::mutex> guard(testClockLock);
  testClock = true;
  testTick = tickCount;
  testFileTime = fileTime;
}

void clockAdvance(DWORD milliseconds)
{
  std::lock_guard<std::mutex> guard(testClockLock);
  testTick += milliseconds;
  testFileTime += static_cast<ULONGLONG>(milliseconds) * 10000ULL;
}

void clockUseReal()
{
  std::lock_guard<std::mutex> guard(testClockLock);
  testClock = false;
}
