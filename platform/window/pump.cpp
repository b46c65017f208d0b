// Waiting for something to do: one poll over the thread's wake-up eventfd,
// the termination-signal pipe (on the thread that takes the quit request),
// the window channel's sockets, and a connection the caller waits on.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <unistd.h>

#include <cstdint>

namespace {

// Longest single wait of a thread that has no wake-up eventfd.
constexpr int WAIT_WITHOUT_WAKEUP_MS = 20;

int earliest(int a, int b)
{
  if (a < 0)
    return b;
  if (b < 0)
    return a;
  return a < b ? a : b;
}

} // namespace

bool pumpIo(ThreadQueue &q, int timeoutMs, int extraFd)
{
  std::vector<pollfd> fds;
  fds.push_back({q.wakeFd, POLLIN, 0});
  const int signalFd = terminationFdFor(&q);
  fds.push_back({signalFd, POLLIN, 0});
  fds.push_back({extraFd, POLLIN, 0});
  // The display's thread draws what changed before it waits, and takes the
  // display's input (not while its terminal is lent to another process).
  const DisplayDriver &display = currentDisplay();
  int inputFd = -1;
  if (isDisplayThread(q) && !displayLentOut()) {
    if (timeoutMs != 0 && display.pFlush)
      display.pFlush();
    if (display.pInputFd)
      inputFd = display.pInputFd();
  }
  fds.push_back({inputFd, POLLIN, 0});
  const std::size_t channelFirst = fds.size();
  channelAddPollFds(q, fds);

  int timeout = earliest(timeoutMs, channelWaitLimitMs(q));
  if (q.wakeFd < 0)
    timeout = earliest(timeout, WAIT_WITHOUT_WAKEUP_MS);
  // Negative descriptors are skipped by poll.
  int ready = poll(fds.data(), fds.size(), timeout);
  if (ready < 0) {
    // Interrupted (a signal): the caller looks again and waits anew.
    for (pollfd &p : fds)
      p.revents = 0;
  }

  if (fds[0].revents & POLLIN) {
    std::uint64_t count;
    (void)!read(q.wakeFd, &count, sizeof count); // emptying the counter is all that matters
  }
  if (fds[1].revents & POLLIN) {
    terminationDrain();
    q.quitPosted = true;
    q.exitCode = 0;
  }
  if (inputFd >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR)) && display.pReadInput)
    display.pReadInput();
  channelHandlePoll(q, fds.data() + channelFirst, fds.size() - channelFirst);
  return (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}
