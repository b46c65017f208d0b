// The terminal display. While no window is shown, the tray is a status line
// on the terminal's current line ("[Quillmarsh]"), and Enter there (or a
// line typed) activates the tray icon. While a window is shown, ncurses
// draws the screen: the window in front fills the terminal, its title on the
// first line and its softkeys on the last; keys and mouse taps become
// messages; a resize resizes the screen's pixels and the full-screen
// dialogs. When the last window goes, ncurses ends and the status line is
// back.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include "platform/text/wstr.h"
#include "platform/window/canvas.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <curses.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The terminal's state; used on the display's thread only (the tray may be
// changed from others, which only print the status line).
struct Terminal {
  bool cursesOn = false;     // ncurses draws the screen
  SCREEN *screen = nullptr;  // ncurses' screen, made once
  bool rawInput = false;     // the status line's termios settings are in force
  termios saved{};           // the terminal's settings before
  bool savedValid = false;
  bool colours = false;      // the terminal has colours
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
  if (t.cursesOn) {
    endwin();
    t.cursesOn = false;
  }
  if (t.savedValid)
    tcsetattr(STDIN_FILENO, TCSANOW, &t.saved);
  t.rawInput = false;
}

// The status line: no echo and no line editing, so that Enter arrives at
// once and typing does not scribble over the line.
void statusInput()
{
  Terminal &t = term();
  if (t.rawInput || !isatty(STDIN_FILENO))
    return;
  if (!t.savedValid && tcgetattr(STDIN_FILENO, &t.saved) == 0) {
    t.savedValid = true;
    std::atexit(restoreTerminal);
  }
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

void terminalNotifyIcon(DWORD, const TrayIcon &)
{
  if (term().cursesOn)
    return; // drawn again when the screen is left
  printStatusLine();
}

void terminalSize(int *cols, int *rows)
{
  winsize ws{};
  if (term().cursesOn) {
    *cols = COLS;
    *rows = LINES;
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

enum Pair : short { PAIR_BAR = 1, PAIR_FIELD, PAIR_FOCUS, PAIR_FRAME, PAIR_SELECTED };

void startCurses()
{
  Terminal &t = term();
  if (t.cursesOn)
    return;
  if (!t.screen) {
    std::setlocale(LC_CTYPE, "");
    t.screen = newterm(nullptr, stdout, stdin);
    if (!t.screen)
      return;
    set_escdelay(25);
  } else {
    set_term(t.screen);
  }
  if (!t.savedValid && tcgetattr(STDIN_FILENO, &t.saved) == 0) {
    t.savedValid = true;
    std::atexit(restoreTerminal);
  }
  t.cursesOn = true;
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  mousemask(BUTTON1_CLICKED | BUTTON1_DOUBLE_CLICKED, nullptr);
  t.colours = has_colors();
  if (t.colours) {
    start_color();
    use_default_colors();
    init_pair(PAIR_BAR, COLOR_BLACK, COLOR_CYAN);
    init_pair(PAIR_FIELD, -1, -1);
    init_pair(PAIR_FOCUS, COLOR_BLACK, COLOR_YELLOW);
    init_pair(PAIR_FRAME, COLOR_CYAN, -1);
    init_pair(PAIR_SELECTED, COLOR_BLACK, COLOR_WHITE);
  }
  clearok(stdscr, TRUE);
  markScreenDirty();
}

void stopCurses()
{
  Terminal &t = term();
  if (!t.cursesOn)
    return;
  erase();
  refresh();
  endwin();
  t.cursesOn = false;
  t.rawInput = false;
  statusInput();
  printStatusLine();
}

attr_t attributesOf(BYTE a)
{
  const bool colours = term().colours;
  if (a & CELL_FOCUS)
    return colours ? COLOR_PAIR(PAIR_FOCUS) : A_REVERSE;
  if (a & CELL_SELECTED)
    return colours ? COLOR_PAIR(PAIR_SELECTED) : A_REVERSE | A_DIM;
  if (a & CELL_BAR)
    return (colours ? COLOR_PAIR(PAIR_BAR) : A_REVERSE) | ((a & CELL_DISABLED) ? A_DIM : 0);
  if (a & CELL_DISABLED)
    return A_DIM;
  if (a & CELL_FRAME)
    return colours ? COLOR_PAIR(PAIR_FRAME) : A_NORMAL;
  if (a & CELL_FIELD)
    return A_UNDERLINE;
  return A_NORMAL;
}

void draw(const ScreenText &s)
{
  for (int row = 0; row < static_cast<int>(s.lines.size()) && row < LINES; ++row) {
    std::u16string line = utf8ToUtf16(s.lines[static_cast<std::size_t>(row)]);
    const std::vector<BYTE> &attrs = s.attrs[static_cast<std::size_t>(row)];
    int col = 0;
    for (std::size_t i = 0; i < line.size() && col < COLS; ++i, ++col) {
      wchar_t wc[2] = {static_cast<wchar_t>(line[i]), 0};
      if (line[i] >= 0xD800 && line[i] <= 0xDBFF && i + 1 < line.size()) {
        wc[0] = static_cast<wchar_t>(0x10000 + ((line[i] - 0xD800) << 10) + (line[i + 1] - 0xDC00));
        ++i;
      }
      cchar_t cell;
      const attr_t a = attributesOf(attrs[static_cast<std::size_t>(col)]);
      setcchar(&cell, wc, a & ~A_COLOR, static_cast<short>(PAIR_NUMBER(a)), nullptr);
      mvadd_wch(row, col, &cell);
    }
  }
  if (s.caretCol >= 0 && s.caretRow >= 0) {
    curs_set(1);
    move(s.caretRow, s.caretCol);
  } else {
    curs_set(0);
  }
  refresh();
}

void terminalFlush()
{
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
  if (term().cursesOn) {
    terminalSize(&cols, &rows);
    if (cols != static_cast<int>(s.lines.empty() ? 0 : s.attrs.front().size()) || rows != static_cast<int>(s.lines.size()))
      s = renderScreen(cols, rows);
    draw(s);
  }
}

int terminalInputFd()
{
  if (!term().cursesOn)
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

void key(int code)
{
  switch (code) {
  case KEY_UP: displayKey(VK_UP, false); break;
  case KEY_DOWN: displayKey(VK_DOWN, false); break;
  case KEY_LEFT: displayKey(VK_LEFT, false); break;
  case KEY_RIGHT: displayKey(VK_RIGHT, false); break;
  case KEY_HOME: displayKey(VK_HOME, false); break;
  case KEY_END: displayKey(VK_END, false); break;
  case KEY_PPAGE: displayKey(VK_PRIOR, false); break;
  case KEY_NPAGE: displayKey(VK_NEXT, false); break;
  case KEY_DC: displayKey(VK_DELETE, false); break;
  case KEY_BTAB: displayKey(VK_TAB, true); break;
  case KEY_ENTER: displayKey(VK_RETURN, false); break;
  case KEY_BACKSPACE: displayKey(VK_BACK, false); break;
  case KEY_F(1): displayKey(VK_F1, false); break;
  case KEY_F(2): displayKey(VK_F2, false); break;
  case KEY_F(10): displayKey(VK_F10, false); break;
  case KEY_F(22): displayKey(VK_F10, true); break; // Shift-F10 (xterm, tmux)
  case KEY_F(16): displayKey(VK_APPS, false); break; // the Menu key (xterm)
  case KEY_RESIZE:
    fitFullScreenWindows();
    clearok(stdscr, TRUE);
    markScreenDirty();
    break;
  case KEY_MOUSE: {
    MEVENT event;
    if (getmouse(&event) == OK) {
      if (event.bstate & BUTTON1_DOUBLE_CLICKED)
        displayTap(event.x, event.y, true);
      else if (event.bstate & BUTTON1_CLICKED)
        displayTap(event.x, event.y, false);
    }
    break;
  }
  default:
    break;
  }
}

void character(wint_t ch)
{
  switch (ch) {
  case L'\t': displayKey(VK_TAB, false); break;
  case L'\r':
  case L'\n': displayKey(VK_RETURN, false); break;
  case L' ': displayKey(VK_SPACE, false); break;
  case 27: displayKey(VK_ESCAPE, false); break;
  case 8:
  case 127: displayKey(VK_BACK, false); break;
  default:
    if (ch >= 0x20 && ch <= 0xFFFF)
      displayChar(static_cast<WCHAR>(ch));
    break;
  }
}

void terminalReadInput()
{
  if (!term().cursesOn) {
    readStatusInput();
    return;
  }
  for (;;) {
    wint_t ch;
    int got = get_wch(&ch);
    if (got == ERR)
      return;
    if (got == KEY_CODE_YES)
      key(static_cast<int>(ch));
    else
      character(ch);
  }
}

const DisplayDriver terminal{"terminal", true, terminalNotifyIcon, terminalScreenSize, terminalInputFd,
                             terminalReadInput, terminalFlush, nullptr};

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
