// The lending side of terminal lending: the terminal travels with the sent
// message over the window channel; this process's own display keeps off the
// terminal while it is away.
#include "platform/window/lend.h"

#include "platform/window/display.h"
#include "platform/window/terminal_curses.h"
#include "platform/window/window_internal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// After the lend: when the terminal is our controlling terminal, the
// foreground goes back to our group, whatever the borrower did with it (a
// borrower that died while it held the foreground cannot give it back).
void takeBackForeground(int fd)
{
  if (tcgetsid(fd) != getsid(0) || tcgetpgrp(fd) == getpgrp())
    return;
  sigset_t block, before;
  sigemptyset(&block);
  sigaddset(&block, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &block, &before);
  (void)tcsetpgrp(fd, getpgrp());
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

} // namespace

bool terminalToLend()
{
  const char *forced = std::getenv("QUILLMARSH_DISPLAY");
  if (forced && std::strcmp(forced, "headless") == 0)
    return false;
  if (!isatty(STDOUT_FILENO) || !terminalUsable())
    return false;
  return channelTerminalNameValid(std::getenv("TERM"));
}

LendOutcome sendMessageLendingFd(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 int terminalFd, const char *terminalType, DWORD flags,
                                 LRESULT *result)
{
  RemoteWindow window;
  if (!remoteWindowOf(hwnd, &window) || terminalFd < 0 || !terminalType)
    return LendOutcome::Failed;
  ChannelLend lend;
  lend.terminalFd = terminalFd;
  lend.terminalName = terminalType;
  lend.returnWhenDeclined = (flags & LEND_RETURN_WHEN_DECLINED) != 0;
  LRESULT answer = 0;
  const bool handled =
      channelSend(window, message, wParam, lParam, SEND_PICKUP_TIMEOUT_MS, -1, true, &answer, &lend);
  takeBackForeground(terminalFd);
  if (handled && result)
    *result = answer;
  if (lend.busy)
    return LendOutcome::Busy;
  if (lend.declined)
    return LendOutcome::Declined;
  return handled ? LendOutcome::Lent : LendOutcome::Failed;
}

LendOutcome sendMessageLendingTerminal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       DWORD flags, LRESULT *result)
{
  if (!terminalToLend())
    return LendOutcome::Failed;
  // A descriptor of its own, open for reading and writing, whatever
  // standard output was opened for.
  const char *name = ttyname(STDOUT_FILENO);
  const int fd = name ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  if (fd < 0)
    return LendOutcome::Failed;
  terminalPutAside();
  LendOutcome outcome =
      sendMessageLendingFd(hwnd, message, wParam, lParam, fd, std::getenv("TERM"), flags, result);
  terminalTakenBack();
  close(fd);
  return outcome;
}

// How many callers keep the display aside (the host around a command, the
// lend inside it): only the outermost pair puts it aside and takes it back.
int asideDepth = 0;

void terminalPutAside()
{
  if (asideDepth++ > 0 || &currentDisplay() != &terminalDisplay())
    return;
  terminalSuspendForLending();
  setDisplayLentOut(true);
}

void terminalTakenBack()
{
  if (asideDepth == 0 || --asideDepth > 0 || !displayLentOut())
    return;
  setDisplayLentOut(false);
  terminalResumeAfterLending();
}
