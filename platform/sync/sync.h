// Critical sections (recursive, as on the handheld) and interlocked counters.
#pragma once

#include "platform/base/types.h"

#include <atomic>
#include <mutex>

struct CRITICAL_SECTION {
  std::recursive_mutex *mutex = nullptr; // created by InitializeCriticalSection
};

void InitializeCriticalSection(CRITICAL_SECTION *cs);
void DeleteCriticalSection(CRITICAL_SECTION *cs);
void EnterCriticalSection(CRITICAL_SECTION *cs);
void LeaveCriticalSection(CRITICAL_SECTION *cs);

// Holds a critical section for a scope.
class CriticalSectionGuard {
public:
  explicit CriticalSectionGuard(CRITICAL_SECTION *cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~CriticalSectionGuard() { LeaveCriticalSection(cs_); }
  CriticalSectionGuard(const CriticalSectionGuard &) = delete;
  CriticalSectionGuard &operator=(const CriticalSectionGuard &) = delete;

private:
  CRITICAL_SECTION *cs_;
};

// Interlocked counters return the new value.
inline LONG InterlockedIncrement(std::atomic<LONG> *v) { return ++*v; }
inline LONG InterlockedDecrement(std::atomic<LONG> *v) { return --*v; }
