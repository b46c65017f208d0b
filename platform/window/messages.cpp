// Posting and sending: to a window of this thread, of another thread, or of
// another process.
#include "platform/clock/clock.h"
#include "platform/window/window_internal.h"

#include <cstring>

namespace {

// Where a handle leads.
struct Target {
  enum Kind { None, SameThread, OtherThread, OtherProcess } kind = None; // which of these
  std::shared_ptr<ThreadQueue> queue;                                    // OtherThread: its queue
  RemoteWindow remote;                                                   // OtherProcess: the window
};

Target resolve(HWND hwnd, const ThreadQueue &self)
{
  Target t;
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  if (Window *w = findWindowLocked(hwnd)) {
    t.queue = w->queue;
    t.kind = w->queue.get() == &self ? Target::SameThread : Target::OtherThread;
  } else if (RemoteWindow *r = findRemoteLocked(hwnd)) {
    t.remote = *r;
    t.kind = Target::OtherProcess;
  }
  return t;
}

} // namespace

bool remoteWindowOf(HWND hwnd, RemoteWindow *out)
{
  Target t = resolve(hwnd, *currentQueue());
  if (t.kind != Target::OtherProcess)
    return false;
  *out = t.remote;
  return true;
}

namespace {

// Sends to a window of another thread and waits, handling what is sent to
// this thread meanwhile unless told not to. timeoutMs -1 waits for as long as
// it takes. True with *result when the message was handled.
bool sendToThread(ThreadQueue &target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  bool serve, int timeoutMs, LRESULT *result)
{
  std::shared_ptr<ThreadQueue> self = currentQueue();
  auto sm = std::make_shared<SentMessage>();
  sm->hwnd = hwnd;
  sm->message = message;
  sm->wParam = wParam;
  sm->lParam = lParam;
  sm->sender = self;
  if (message == WM_COPYDATA && lParam) {
    // The receiver works on a copy that lives as long as the message, also
    // when this sender stops waiting first.
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    if (cds->cbData && cds->lpData) {
      sm->copyBytes.resize(cds->cbData);
      std::memcpy(sm->copyBytes.data(), cds->lpData, cds->cbData);
    }
    sm->copy = COPYDATASTRUCT{cds->dwData, static_cast<DWORD>(sm->copyBytes.size()),
                              sm->copyBytes.empty() ? nullptr : sm->copyBytes.data()};
    sm->lParam = reinterpret_cast<LPARAM>(&sm->copy);
  }
  {
    std::lock_guard<std::mutex> guard(target.lock);
    if (!target.alive)
      return false;
    target.sent.push_back(sm);
  }
  wakeQueue(target);

  const std::int64_t deadline = timeoutMs < 0 ? -1 : channelNowMs() + timeoutMs;
  while (!sm->done.load(std::memory_order_acquire)) {
    if (serve)
      dispatchIncomingSent(*self);
    if (sm->done.load(std::memory_order_acquire))
      break;
    int wait = -1;
    if (deadline >= 0) {
      std::int64_t left = deadline - channelNowMs();
      if (left <= 0)
        return false;
      wait = static_cast<int>(left);
    }
    pumpIo(*self, wait, -1);
  }
  *result = sm->result;
  return true;
}

// SendMessageW and SendMessageTimeoutW. pickupMs applies to other processes.
bool send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool serve, int pickupMs,
          int timeoutMs, LRESULT *result)
{
  std::shared_ptr<ThreadQueue> self = currentQueue();
  Target t = resolve(hwnd, *self);
  switch (t.kind) {
  case Target::SameThread:
    *result = callWindowProc(hwnd, message, wParam, lParam);
    return true;
  case Target::OtherThread:
    return sendToThread(*t.queue, hwnd, message, wParam, lParam, serve, timeoutMs, result);
  case Target::OtherProcess:
    return channelSend(t.remote, message, wParam, lParam, pickupMs, timeoutMs, serve, result);
  case Target::None:
    break;
  }
  return false;
}

} // namespace

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
  // WM_COPYDATA's bytes live only as long as a send.
  if (Msg == WM_COPYDATA)
    return FALSE;
  std::shared_ptr<ThreadQueue> self = currentQueue();
  MSG msg{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}};
  if (!hWnd)
    return postToQueue(*self, msg) ? TRUE : FALSE;
  Target t = resolve(hWnd, *self);
  switch (t.kind) {
  case Target::SameThread:
    return postToQueue(*self, msg) ? TRUE : FALSE;
  case Target::OtherThread:
    return postToQueue(*t.queue, msg) ? TRUE : FALSE;
  case Target::OtherProcess:
    return channelPost(t.remote, Msg, wParam, lParam) ? TRUE : FALSE;
  case Target::None:
    break;
  }
  return FALSE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
  LRESULT result = 0;
  if (!send(hWnd, Msg, wParam, lParam, true, SEND_PICKUP_TIMEOUT_MS, -1, &result))
    return 0;
  return result;
}

LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, DWORD_PTR *lpdwResult)
{
  const int timeout = uTimeout > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(uTimeout);
  LRESULT result = 0;
  if (!send(hWnd, Msg, wParam, lParam, (fuFlags & SMTO_BLOCK) == 0, timeout, timeout, &result))
    return 0;
  if (lpdwResult)
    *lpdwResult = static_cast<DWORD_PTR>(result);
  return 1;
}
