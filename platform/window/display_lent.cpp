// The display of a terminal lent by another process: while this thread
// handles a message sent with a terminal (lend.h), the dialogs it opens are
// drawn there and take their keys from there. ncurses takes the terminal
// over only when there is a screen to show: a handling that shows nothing
// leaves the lender's terminal untouched (no byte written, no setting
// changed, no key read). The lender's end of the
// connection is watched: its end (the lender died, or was asked to stop)
// and a hang-up of the terminal close every dialog of the lend as
// cancelled, and nothing more is drawn there.
#include "platform/window/display.h"
#include "platform/window/terminal_curses.h"
#include "platform/window/window_internal.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

// How often the lent terminal's size is looked at: its size changes are
// signalled to the lender's process group, not to us.
constexpr long SIZE_CHECK_NS = 500'000'000;

// The lend in progress; used on the display's thread only.
struct Lend {
  CursesTerminal curses;            // ncurses on the lent terminal
  int connection = -1;              // the lender's connection (not owned)
  int watch = -1;                   // epoll: the terminal, the connection, the size timer
  int timer = -1;                   // timerfd of the size checks
  int terminalFd = -1;              // the lent terminal (owned through curses.in)
  bool lost = false;                // the lender or the terminal went: close everything
  const DisplayDriver *previous = nullptr; // the display to go back to
  pid_t foregroundBefore = -1;      // a foreground group taken over (our own terminal), or -1
  struct sigaction ttouBefore {};   // SIGTTOU's handling before, when it was changed
};

Lend *lend = nullptr;
std::atomic<int> lentCols{80}, lentRows{24};

void lentNotifyIcon(DWORD, const TrayIcon &)
{
  // The tray is this program's own: a lent terminal shows only the dialogs.
}

void lentScreenSize(int *cx, int *cy)
{
  *cx = lentCols.load() * DISPLAY_CELL_WIDTH;
  *cy = lentRows.load() * DISPLAY_CELL_HEIGHT;
}

bool readSize(int fd, int *cols, int *rows)
{
  winsize ws{};
  if (ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0)
    return false;
  *cols = ws.ws_col;
  *rows = ws.ws_row;
  return true;
}

void checkSize()
{
  int cols, rows;
  if (!readSize(lend->terminalFd, &cols, &rows) || (cols == lentCols.load() && rows == lentRows.load()))
    return;
  lentCols = cols;
  lentRows = rows;
  if (lend->curses.on)
    cursesResized(cols, rows);
}

bool takeTerminal(Lend &l);
void loseTerminal();

void lentFlush()
{
  if (!lend || lend->lost || !takeScreenDirty())
    return;
  ScreenText s = renderScreen(lentCols.load(), lentRows.load());
  if (!s.shown)
    return;
  if (!lend->curses.on && !takeTerminal(*lend)) {
    loseTerminal(); // nothing can be shown there: the screens close as cancelled
    return;
  }
  cursesDraw(lend->curses, s);
}

int lentInputFd()
{
  return lend && !lend->lost ? lend->watch : -1;
}

// The lend is over before its screens are: the loop waiting now gets an
// Escape, as from the user, and every loop after it a close request (lentIdle).
void loseTerminal()
{
  lend->lost = true;
  displayKey(VK_ESCAPE, false);
}

void lentReadInput()
{
  if (!lend || lend->lost)
    return;
  epoll_event events[3];
  int n = epoll_wait(lend->watch, events, 3, 0);
  for (int i = 0; i < n && !lend->lost; ++i) {
    const int fd = events[i].data.fd;
    if (fd == lend->connection) {
      loseTerminal(); // any byte or the end: the lender wants its terminal back
    } else if (fd == lend->timer) {
      std::uint64_t expirations;
      (void)!read(lend->timer, &expirations, sizeof expirations);
      checkSize();
    } else if (events[i].events & (EPOLLHUP | EPOLLERR)) {
      loseTerminal(); // hung up: there is nobody left to show anything to
    } else {
      cursesReadInput(lend->curses);
    }
  }
}

bool lentIdle(HWND top)
{
  if (!lend || !lend->lost)
    return false;
  // Every modal loop of the lend closes in turn, as after Escape: a dialog
  // ends as cancelled, a menu chooses nothing, a box answers Cancel.
  PostMessageW(top, WM_CLOSE, 0, 0);
  return true;
}

const DisplayDriver lent{"lent terminal", true, lentNotifyIcon, lentScreenSize, lentInputFd,
                         lentReadInput, lentFlush, lentIdle, nullptr};

bool watch(int epoll, int fd, std::uint32_t events)
{
  epoll_event e{};
  e.events = events;
  e.data.fd = fd;
  return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) == 0;
}

// A terminal that is this process's own controlling terminal, while we are
// in the background (started with & in the lender's shell): we take the
// foreground for the lend, or every read would stop us, and give it back
// after. SIGTTOU is ignored meanwhile for the same reason.
void takeForeground(Lend &l)
{
  if (tcgetsid(l.terminalFd) != getsid(0))
    return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGTTOU, &ignore, &l.ttouBefore);
  const pid_t foreground = tcgetpgrp(l.terminalFd);
  if (foreground > 0 && foreground != getpgrp() && tcsetpgrp(l.terminalFd, getpgrp()) == 0)
    l.foregroundBefore = foreground;
  else
    l.foregroundBefore = 0; // SIGTTOU is to be restored all the same
}

void giveForegroundBack(Lend &l)
{
  if (l.foregroundBefore < 0)
    return;
  if (l.foregroundBefore > 0)
    (void)tcsetpgrp(l.terminalFd, l.foregroundBefore);
  sigaction(SIGTTOU, &l.ttouBefore, nullptr);
}

// The first screen is shown: ncurses takes the terminal over, and its keys
// are read from now on.
bool takeTerminal(Lend &l)
{
  takeForeground(l);
  return cursesStart(l.curses) && watch(l.watch, l.terminalFd, EPOLLIN);
}

void freeLend(Lend *l)
{
  if (l->curses.scr)
    cursesFree(l->curses);
  giveForegroundBack(*l);
  if (l->curses.in)
    std::fclose(l->curses.in);
  else if (l->terminalFd >= 0)
    close(l->terminalFd);
  if (l->curses.out)
    std::fclose(l->curses.out);
  if (l->watch >= 0)
    close(l->watch);
  if (l->timer >= 0)
    close(l->timer);
  delete l;
}

} // namespace

LendStart beginTerminalLend(int fd, const std::string &terminalName, int connection)
{
  LendStart refusal = LendStart::Borrowed;
  if (lend)
    refusal = LendStart::Busy;
  else if (currentDisplay().showsDialogs)
    refusal = LendStart::Declined;
  else if (!isatty(fd))
    refusal = LendStart::Failed;
  if (refusal == LendStart::Borrowed) {
    claimDisplay();
    if (!isDisplayThread(*currentQueue()))
      refusal = LendStart::Failed;
  }
  if (refusal != LendStart::Borrowed) {
    close(fd);
    return refusal;
  }

  auto *l = new Lend;
  l->terminalFd = fd;
  l->connection = connection;
  l->curses.type = terminalName;
  l->curses.rawKeys = true; // Ctrl-C and Ctrl-Z would go to the lender's process group
  const int outFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  l->curses.in = fdopen(fd, "r");
  l->curses.out = outFd >= 0 ? fdopen(outFd, "w") : nullptr;
  if (outFd >= 0 && !l->curses.out)
    close(outFd);
  l->watch = epoll_create1(EPOLL_CLOEXEC);
  l->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  const itimerspec every{{0, SIZE_CHECK_NS}, {0, SIZE_CHECK_NS}};
  int cols = 80, rows = 24;
  (void)readSize(fd, &cols, &rows);
  lentCols = cols;
  lentRows = rows;
  // The terminal itself is taken over at the first screen (takeTerminal).
  bool ready = l->curses.in && l->curses.out && l->watch >= 0 && l->timer >= 0 &&
               timerfd_settime(l->timer, 0, &every, nullptr) == 0 &&
               watch(l->watch, connection, EPOLLIN | EPOLLRDHUP) && watch(l->watch, l->timer, EPOLLIN) &&
               cursesKnowsType(terminalName);
  if (!ready) {
    freeLend(l);
    return LendStart::Failed;
  }
  l->previous = &currentDisplay();
  lend = l;
  setDisplay(lent);
  return LendStart::Borrowed;
}

void endTerminalLend()
{
  if (!lend)
    return;
  Lend *l = lend;
  lend = nullptr;
  // Settings and screen go back as they were found; on a terminal that
  // hung up this writes nowhere, which does no harm.
  cursesStop(l->curses);
  setDisplay(*l->previous);
  freeLend(l);
}
