// Timers: due times on the platform clock's tick count, turned into WM_TIMER
// messages only when the queue has nothing else to give.
#include "platform/clock/clock.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

// Signed distance from a to b on the wrapping tick count.
std::int32_t ticksUntil(DWORD from, DWORD to)
{
  return static_cast<std::int32_t>(to - from);
}

Timer *findTimer(ThreadQueue &q, HWND hwnd, UINT_PTR id)
{
  for (Timer &t : q.timers)
    if (t.hwnd == hwnd && t.id == id)
      return &t;
  return nullptr;
}

// A thread-timer id that no timer of this thread uses.
UINT_PTR freeThreadTimerId(ThreadQueue &q)
{
  for (;;) {
    UINT_PTR id = q.nextThreadTimerId++;
    if (q.nextThreadTimerId == 0)
      q.nextThreadTimerId = 0x8000;
    if (id != 0 && !findTimer(q, nullptr, id))
      return id;
  }
}

} // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  if (hWnd && (!isWindowOfQueue(hWnd, *q) || nIDEvent == 0))
    return 0;
  UINT period = std::clamp(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  UINT_PTR id = nIDEvent;
  if (!hWnd && (id == 0 || !findTimer(*q, nullptr, id)))
    id = freeThreadTimerId(*q);
  DWORD due = GetTickCount() + period;
  if (Timer *t = findTimer(*q, hWnd, id))
    *t = Timer{hWnd, id, period, due, lpTimerFunc};
  else
    q->timers.push_back(Timer{hWnd, id, period, due, lpTimerFunc});
  return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  auto it = std::find_if(q->timers.begin(), q->timers.end(),
                         [&](const Timer &t) { return t.hwnd == hWnd && t.id == uIDEvent; });
  if (it == q->timers.end())
    return FALSE;
  q->timers.erase(it);
  return TRUE;
}

bool takeTimer(ThreadQueue &q, HWND filter, UINT first, UINT last, bool remove, MSG *out)
{
  if (!((first == 0 && last == 0) || first > last || (WM_TIMER >= first && WM_TIMER <= last)))
    return false;
  const DWORD now = GetTickCount();
  Timer *best = nullptr;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    for (Timer &t : q.timers) {
      if (ticksUntil(t.due, now) < 0 || !windowFilterMatchesLocked(filter, t.hwnd))
        continue;
      if (!best || ticksUntil(t.due, best->due) > 0)
        best = &t;
    }
  }
  if (!best)
    return false;
  *out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), now, {0, 0}};
  if (remove) {
    // However many periods went by, the timer gives one message and is next
    // due at the first period boundary after now.
    DWORD late = now - best->due;
    best->due += (late / best->period + 1) * best->period;
  }
  return true;
}

int timerWaitMs(const ThreadQueue &q)
{
  const DWORD now = GetTickCount();
  int wait = -1;
  for (const Timer &t : q.timers) {
    std::int32_t left = std::max<std::int32_t>(0, ticksUntil(now, t.due));
    if (wait < 0 || left < wait)
      wait = left;
  }
  return wait;
}

void killWindowTimers(ThreadQueue &q, HWND hwnd)
{
  std::erase_if(q.timers, [&](const Timer &t) { return t.hwnd == hwnd; });
}

bool isTimerCallback(const ThreadQueue &q, HWND hwnd, UINT_PTR id, TIMERPROC proc)
{
  for (const Timer &t : q.timers)
    if (t.hwnd == hwnd && t.id == id && t.proc == proc)
      return true;
  return false;
}
