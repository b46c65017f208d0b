// The platform clock: the millisecond tick count and the system time as a
// file time. Tests set both through the seam below; nothing sleeps to make
// time pass.
#pragma once

#include "platform/base/types.h"

// Milliseconds since the clock started; wraps at 2^32 as on the handheld.
DWORD GetTickCount();

// Current UTC time as 100-nanosecond units since 1601-01-01.
void GetSystemTimeAsFileTime(FILETIME *out);

// File time <-> 64-bit count.
ULONGLONG fileTimeToU64(const FILETIME &ft);
FILETIME u64ToFileTime(ULONGLONG v);

// Unix seconds to a file time count (for times read from files and messages).
ULONGLONG unixToFileTime(std::int64_t seconds);

// Test seam: freeze the clock at the given values; later calls to
// clockAdvance move both together. clockUseReal returns to the real clock.
void clockSetForTest(DWORD tickCount, ULONGLONG fileTime);
void clockAdvance(DWORD milliseconds);
void clockUseReal();
