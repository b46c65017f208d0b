// The terminal display. While no window is shown, the tray is a status line
// on the terminal's current line ("[Quillmarsh]"), and Enter there (or a
// line typed) activates the tray icon. While a window is shown, ncurses
// draws the screen: the window in front fills the terminal, its title on the
// first line and its softkeys on the last; keys and mouse taps become
// messages; a resize resizes the screen's pixels and the full-screen
// dialogs. When the last window goes, ncurses ends and the status line is
// back. While the terminal is lent to another process (lend.h) this
// process neither draws nor reads there.
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "platform/window/terminal_curses.h"
#include "platform/window/window_internal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

namespace {

CursesTerminal standardStreams()
{
  CursesTerminal t;
  t.in = stdin;
  t.out = stdout;
  return t;
}

// The terminal's state; used on the display's thread only (the tray may be
// changed from others, which only print the status line).
struct Terminal {
  CursesTerminal curses = standardStreams();
  bool rawInput = false;     // the status line's termios settings are in force
  termios saved{};           // the terminal's settings before
  bool savedValid = false;
};

Terminal &term()
{
  static Terminal *t = new Terminal;
  return *t;
}

// The tip as the terminal may print it: control characters would be taken
// as commands by the terminal, so they show as '?'.
std::string printable(const std::u16string &tip)
{
  std::u16string clean(tip);
  for (char16_t &c : clean)
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      c = u'?';
  return utf16ToUtf8(clean);
}

void restoreTerminal()
{
  Terminal &t = term();
  cursesSuspend(t.curses);
  if (t.savedValid)
    tcsetattr(STDIN_FILENO, TCSANOW, &t.saved);
  t.rawInput = false;
}

void saveSettings()
{
  Terminal &t = term();
  if (!t.savedValid && tcgetattr(STDIN_FILENO, &t.saved) == 0) {
    t.savedValid = true;
    std::atexit(restoreTerminal);
  }
}

// The status line: no echo and no line editing, so that Enter arrives at
// once and typing does not scribble over the line.
void statusInput()
{
  Terminal &t = term();
  if (t.rawInput || !isatty(STDIN_FILENO))
    return;
  saveSettings();
  if (!t.savedValid)
    return;
  termios raw = t.saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  t.rawInput = true;
}

void printStatusLine()
{
  std::string line = "\r\x1b[K";
  for (const TrayIcon &icon : trayIcons())
    line += "[" + printable(icon.tip) + "]";
  if (!trayIcons().empty())
    line += " Enter: rules list";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// Lines for standard error while the screen is taken (drawn, or lent), in
// their order; at most HELD_LINES_MAX, the oldest dropped and counted.
constexpr std::size_t HELD_LINES_MAX = 1000;
struct HeldLines {
  std::mutex lock;
  bool screenTaken = false;
  std::deque<std::string> lines;
  std::size_t dropped = 0;
};

HeldLines &held()
{
  static HeldLines *h = new HeldLines;
  return *h;
}

// Under held().lock: a line goes out above the status line (when standard
// error is this terminal), which is then printed again.
void writeAbove(const std::string &line)
{
  const bool here = isatty(STDERR_FILENO) && isatty(STDOUT_FILENO);
  if (here) {
    std::fputs("\r\x1b[K", stdout);
    std::fflush(stdout);
  }
  (void)std::fwrite(line.data(), 1, line.size(), stderr); // nothing to do when standard error is gone
  std::fflush(stderr);
  if (here)
    printStatusLine();
}

void terminalWriteLine(const std::string &line)
{
  HeldLines &h = held();
  std::lock_guard<std::mutex> guard(h.lock);
  if (!h.screenTaken || !isatty(STDERR_FILENO)) {
    writeAbove(line);
    return;
  }
  if (h.lines.size() == HELD_LINES_MAX) {
    h.lines.pop_front();
    ++h.dropped;
  }
  h.lines.push_back(line);
}

// The screen is taken (ncurses draws, or the terminal is lent) or left; when
// left, the lines held meanwhile are written.
void setScreenTaken(bool taken)
{
  HeldLines &h = held();
  std::lock_guard<std::mutex> guard(h.lock);
  h.screenTaken = taken;
  if (taken)
    return;
  if (h.dropped)
    writeAbove("(" + std::to_string(h.dropped) + " earlier lines were dropped while the screen was shown)\n");
  h.dropped = 0;
  for (const std::string &line : h.lines)
    writeAbove(line);
  h.lines.clear();
}

void terminalNotifyIcon(DWORD, const TrayIcon &)
{
  if (term().curses.on || displayLentOut())
    return; // drawn again when the screen is left, or the terminal given back
  printStatusLine();
}

void terminalSize(int *cols, int *rows)
{
  winsize ws{};
  if (term().curses.on) {
    cursesSize(cols, rows);
  } else if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    *cols = ws.ws_col;
    *rows = ws.ws_row;
  } else {
    *cols = 80;
    *rows = 24;
  }
}

void terminalScreenSize(int *cx, int *cy)
{
  int cols, rows;
  terminalSize(&cols, &rows);
  *cx = cols * DISPLAY_CELL_WIDTH;
  *cy = rows * DISPLAY_CELL_HEIGHT;
}

// A resize reaches ncurses as SIGWINCH, which ncurses reports only with the
// next key it reads: the screen kept its old size until a key came. So the
// signal also wakes the display's thread, whose next flush reads it, and the
// screen is drawn at its new size at once.
std::atomic<int> resizeWakeFd{-1};          // the display thread's wake-up eventfd
std::atomic<bool> resizeSignalled{false};   // set by the handler, taken by the flush
struct sigaction cursesResizeAction{};      // ncurses' own handler, run first
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "used inside a signal handler");

void onResize(int signal)
{
  const int saved = errno;
  if (!(cursesResizeAction.sa_flags & SA_SIGINFO) && cursesResizeAction.sa_handler != SIG_DFL &&
      cursesResizeAction.sa_handler != SIG_IGN)
    cursesResizeAction.sa_handler(signal);
  resizeSignalled.store(true);
  const int fd = resizeWakeFd.load();
  if (fd >= 0) {
    const std::uint64_t one = 1;
    (void)!write(fd, &one, sizeof one);
  }
  errno = saved;
}

// After ncurses has set its handler up (at the screen's first start), once.
void watchResizes()
{
  static bool watching = false;
  if (watching)
    return;
  watching = true;
  // A descriptor of its own for the same eventfd, never closed: a signal
  // late at exit cannot write into a file that took the queue's number.
  {
    std::shared_ptr<ThreadQueue> q = currentQueue();
    std::lock_guard<std::mutex> guard(q->lock);
    if (q->wakeFd >= 0)
      resizeWakeFd.store(fcntl(q->wakeFd, F_DUPFD_CLOEXEC, 0));
  }
  struct sigaction action{};
  action.sa_handler = onResize;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  (void)sigaction(SIGWINCH, &action, &cursesResizeAction);
}

void startCurses()
{
  Terminal &t = term();
  if (t.curses.on)
    return;
  saveSettings();
  setScreenTaken(true);
  if (cursesStart(t.curses))
    watchResizes();
  else
    setScreenTaken(false);
}

void stopCurses()
{
  Terminal &t = term();
  if (!t.curses.on)
    return;
  cursesStop(t.curses);
  t.rawInput = false;
  statusInput();
  printStatusLine();
  setScreenTaken(false);
}

void terminalFlush()
{
  if (resizeSignalled.exchange(false) && term().curses.on)
    cursesReadInput(term().curses); // ncurses reports the resize as a key
  if (!takeScreenDirty())
    return;
  int cols, rows;
  terminalSize(&cols, &rows);
  ScreenText s = renderScreen(cols, rows);
  if (!s.shown) {
    stopCurses();
    return;
  }
  startCurses();
  if (term().curses.on) {
    terminalSize(&cols, &rows);
    if (cols != static_cast<int>(s.lines.empty() ? 0 : s.attrs.front().size()) || rows != static_cast<int>(s.lines.size()))
      s = renderScreen(cols, rows);
    cursesDraw(term().curses, s);
  }
}

int terminalInputFd()
{
  if (!term().curses.on)
    statusInput();
  return isatty(STDIN_FILENO) ? STDIN_FILENO : -1;
}

void readStatusInput()
{
  char buffer[256];
  ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
  for (ssize_t i = 0; i < n; ++i)
    if (buffer[i] == '\n' || buffer[i] == '\r') {
      displayActivateTray();
      return;
    }
}

void terminalReadInput()
{
  if (!term().curses.on) {
    readStatusInput();
    return;
  }
  cursesReadInput(term().curses);
}

const DisplayDriver terminal{"terminal", true, terminalNotifyIcon, terminalScreenSize, terminalInputFd,
                             terminalReadInput, terminalFlush, nullptr, terminalWriteLine};

} // namespace

const DisplayDriver &terminalDisplay()
{
  return terminal;
}

bool terminalUsable()
{
  const char *name = std::getenv("TERM");
  return name && *name && std::string(name) != "dumb";
}

void terminalSuspendForLending()
{
  setScreenTaken(true);
  Terminal &t = term();
  const bool drawn = t.curses.on;
  cursesSuspend(t.curses);
  if (!drawn && t.savedValid)
    tcsetattr(STDIN_FILENO, TCSANOW, &t.saved); // the status line's settings go too
  t.rawInput = false;
  if (!drawn && !trayIcons().empty())
    std::fputs("\r\x1b[K", stdout); // the status line makes room for the borrower
  std::fflush(stdout);
}

void terminalResumeAfterLending()
{
  // The borrower gave the terminal back in the state it found it; what was
  // on the screen is drawn again (or the status line printed) at the next wait.
  markScreenDirty();
  if (!frontWindow() && !trayIcons().empty())
    printStatusLine();
  if (!term().curses.on && !frontWindow())
    setScreenTaken(false); // else it stays taken until the screen is left
}
