#include "platform/sync/sync.h"

void InitializeCriticalSection(CRITICAL_SECTION *cs)
{
  cs->mutex = new std::recursive_mutex;
}

void DeleteCriticalSection(CRITICAL_SECTION *cs)
{
  delete cs->mutex;
  cs->mutex = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION *cs)
{
  cs->mutex->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION *cs)
{
  cs->mutex->unlock();
}
