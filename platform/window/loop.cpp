// The message loop: taking messages from the thread's queue in their order
// of priority, dispatching them, and the quit request.
#include "platform/clock/clock.h"
#include "platform/window/window_internal.h"

namespace {

bool inRange(UINT message, UINT first, UINT last)
{
  // Both 0 means every message; a reversed range too, as on the handheld.
  if ((first == 0 && last == 0) || first > last)
    return true;
  return message >= first && message <= last;
}

// Takes the oldest posted message that passes the filters. Messages for
// windows that no longer exist are dropped on the way.
bool takePosted(ThreadQueue &q, HWND filter, UINT first, UINT last, bool remove, MSG *out)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> windowsGuard(ws.lock);
  std::lock_guard<std::mutex> queueGuard(q.lock);
  for (auto it = q.posted.begin(); it != q.posted.end();) {
    if (it->hwnd && !findWindowLocked(it->hwnd)) {
      it = q.posted.erase(it);
      continue;
    }
    if (windowFilterMatchesLocked(filter, it->hwnd) && inRange(it->message, first, last)) {
      *out = *it;
      if (remove)
        q.posted.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

// True when filter is acceptable for this thread: null, (HWND)-1 or one of
// its own windows.
bool filterValid(HWND filter, const ThreadQueue &q)
{
  return !filter || filter == reinterpret_cast<HWND>(-1) || isWindowOfQueue(filter, q);
}

// GetMessageW and PeekMessageW: 1 with a message, 0 without (or WM_QUIT for
// GetMessageW), -1 for a bad filter window.
int takeMessage(MSG *out, HWND filter, UINT first, UINT last, UINT flags, bool wait)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  if (!out || !filterValid(filter, *q))
    return -1;
  const bool remove = (flags & PM_REMOVE) != 0;
  for (;;) {
    pumpIo(*q, 0, -1);
    dispatchIncomingSent(*q);
    if (takePosted(*q, filter, first, last, remove, out))
      return 1;
    if (q->quitPosted) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->exitCode), 0, GetTickCount(), {0, 0}};
      if (remove)
        q->quitPosted = false;
      return 1;
    }
    if (takeTimer(*q, filter, first, last, remove, out))
      return 1;
    if (!wait)
      return 0;
    pumpIo(*q, timerWaitMs(*q), -1);
  }
}

} // namespace

BOOL GetMessageW(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
  int got = takeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE, true);
  if (got < 0)
    return -1;
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
  return takeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg, false) > 0 ? TRUE
                                                                                        : FALSE;
}

BOOL TranslateMessage(const MSG *lpMsg)
{
  if (!lpMsg || lpMsg->message != WM_KEYDOWN)
    return FALSE;
  WPARAM character;
  switch (lpMsg->wParam) {
  case VK_BACK:
    character = 0x08;
    break;
  case VK_TAB:
    character = 0x09;
    break;
  case VK_RETURN:
    character = 0x0D;
    break;
  case VK_ESCAPE:
    character = 0x1B;
    break;
  case VK_SPACE:
    character = 0x20;
    break;
  default:
    return FALSE;
  }
  // The character is taken next, before input that arrived after its key,
  // as the handheld makes characters from its input queue in order. Posted
  // behind the queue, a space typed among letters (a paste, a quick typist)
  // would land after the letters that followed it.
  std::shared_ptr<ThreadQueue> self = currentQueue();
  bool ownWindow;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(lpMsg->hwnd);
    ownWindow = w && w->queue == self;
  }
  if (!ownWindow)
    return PostMessageW(lpMsg->hwnd, WM_CHAR, character, lpMsg->lParam);
  MSG translated{lpMsg->hwnd, WM_CHAR, character, lpMsg->lParam, GetTickCount(), {0, 0}};
  return postToQueueNext(*self, translated) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG *lpMsg)
{
  if (!lpMsg)
    return 0;
  std::shared_ptr<ThreadQueue> q = currentQueue();
  if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    // Only a callback this thread registered is called: an lParam made up by
    // whoever posted the message is never jumped to.
    if (isTimerCallback(*q, lpMsg->hwnd, lpMsg->wParam, proc))
      proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
    return 0;
  }
  if (!lpMsg->hwnd || !isWindowOfQueue(lpMsg->hwnd, *q))
    return 0;
  const bool saved = q->inSend;
  q->inSend = false;
  LRESULT result = callWindowProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
  q->inSend = saved;
  return result;
}

void PostQuitMessage(int nExitCode)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  q->quitPosted = true;
  q->exitCode = nExitCode;
}

BOOL InSendMessage()
{
  return currentQueue()->inSend ? TRUE : FALSE;
}

void dispatchIncomingSent(ThreadQueue &q)
{
  for (;;) {
    std::shared_ptr<SentMessage> sm;
    {
      std::lock_guard<std::mutex> guard(q.lock);
      if (q.sent.empty())
        break;
      sm = q.sent.front();
      q.sent.pop_front();
    }
    LRESULT result = 0;
    if (isWindowOfQueue(sm->hwnd, q)) {
      const bool saved = q.inSend;
      q.inSend = true;
      try {
        result = callWindowProc(sm->hwnd, sm->message, sm->wParam, sm->lParam);
      } catch (...) {
        q.inSend = saved;
        completeSent(*sm, 0);
        throw;
      }
      q.inSend = saved;
    }
    completeSent(*sm, result);
  }
  channelDispatchRemoteSends(q);
}
