// The termination signals reach the message loop through a pipe: the
// handler only writes a byte (async-signal-safe), and the chosen thread's
// waits poll the pipe's other end.
#include "platform/window/signals.h"
#include "platform/window/window_internal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace {

int signalPipe[2] = {-1, -1};                 // written by the handler, read by the target thread
std::atomic<const ThreadQueue *> target{nullptr}; // the thread that gets the quit request
std::once_flag pipeMade;                      // the pipe is made once and kept for the process
std::atomic<bool> requested{false};           // a signal came; set by the handler
static_assert(std::atomic<bool>::is_always_lock_free, "set inside a signal handler");

void onTermination(int)
{
  int saved = errno;
  requested.store(true);
  char byte = 1;
  // A full pipe already holds a request; nothing else can go wrong here.
  (void)!write(signalPipe[1], &byte, 1);
  errno = saved;
}

} // namespace

BOOL postQuitOnTermination()
{
  std::call_once(pipeMade, [] {
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
      signalPipe[0] = signalPipe[1] = -1;
  });
  if (signalPipe[0] < 0)
    return FALSE;
  target = currentQueue().get();
  // ThreadSanitizer sets up a thread's signal state lazily, at its first
  // blocking call, and loses a signal that arrives during that set-up; an
  // empty wait now makes sure that is over before a signal can come.
  poll(nullptr, 0, 0);
  struct sigaction sa{};
  sa.sa_handler = onTermination;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  if (sigaction(SIGTERM, &sa, nullptr) != 0 || sigaction(SIGINT, &sa, nullptr) != 0)
    return FALSE;
  return TRUE;
}

int terminationFdFor(const ThreadQueue *q)
{
  return q && target.load() == q ? signalPipe[0] : -1;
}

void terminationDrain()
{
  char buf[64];
  while (read(signalPipe[0], buf, sizeof buf) > 0) {
  }
}

void terminationForget(const ThreadQueue *q)
{
  const ThreadQueue *expected = q;
  target.compare_exchange_strong(expected, nullptr);
}

bool terminationRequested() { return requested.load(); }
