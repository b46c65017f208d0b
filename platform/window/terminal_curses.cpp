// Drawing on a terminal with ncurses and reading its keys, for the program's
// own terminal and for a lent one alike.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include "platform/window/terminal_curses.h"

#include "platform/text/wstr.h"
#include "platform/window/canvas.h"
#include "platform/window/window_internal.h"

#include <curses.h>

#include <clocale>

namespace {

enum Pair : short { PAIR_BAR = 1, PAIR_FIELD, PAIR_FOCUS, PAIR_FRAME, PAIR_SELECTED };

attr_t attributesOf(const CursesTerminal &t, BYTE a)
{
  const bool colours = t.colours;
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
    cursesResized(COLS, LINES);
    break;
  case KEY_MOUSE: {
    MEVENT event;
    if (getmouse(&event) == OK) {
      if (event.bstate & BUTTON1_DOUBLE_CLICKED)
        displayTap(event.x, event.y, true);
      else if (event.bstate & BUTTON1_CLICKED)
        displayTap(event.x, event.y, false);
      else if (event.bstate & BUTTON3_CLICKED)
        displayHold(event.x, event.y);
    }
    break;
  }
  default:
    break;
  }
}

void character(const CursesTerminal &t, wint_t ch)
{
  switch (ch) {
  case L'\t': displayKey(VK_TAB, false); break;
  case L'\r':
  case L'\n': displayKey(VK_RETURN, false); break;
  case L' ': displayKey(VK_SPACE, false); break;
  case 27: displayKey(VK_ESCAPE, false); break;
  case 8:
  case 127: displayKey(VK_BACK, false); break;
  case 3: // Ctrl-C on a terminal in raw mode: a close request, as Escape
    if (t.rawKeys)
      displayKey(VK_ESCAPE, false);
    break;
  default:
    if (ch >= 0x20 && ch <= 0xFFFF)
      displayChar(static_cast<WCHAR>(ch));
    break;
  }
}

} // namespace

bool cursesStart(CursesTerminal &t)
{
  if (t.on)
    return true;
  if (!t.scr) {
    std::setlocale(LC_CTYPE, "");
    t.scr = newterm(t.type.empty() ? nullptr : t.type.c_str(), t.out, t.in);
    if (!t.scr)
      return false;
    set_escdelay(25);
  } else {
    set_term(t.scr);
  }
  t.on = true;
  if (t.rawKeys)
    raw();
  else
    cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  mousemask(BUTTON1_CLICKED | BUTTON1_DOUBLE_CLICKED | BUTTON3_CLICKED, nullptr);
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
  return true;
}

void cursesStop(CursesTerminal &t)
{
  if (!t.on)
    return;
  set_term(t.scr);
  erase();
  refresh();
  endwin();
  t.on = false;
}

void cursesSuspend(CursesTerminal &t)
{
  if (!t.on)
    return;
  set_term(t.scr);
  endwin();
  t.on = false;
}

void cursesFree(CursesTerminal &t)
{
  if (!t.scr)
    return;
  delscreen(t.scr);
  t.scr = nullptr;
}

void cursesSize(int *cols, int *rows)
{
  *cols = COLS;
  *rows = LINES;
}

void cursesDraw(CursesTerminal &t, const ScreenText &s)
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
      const attr_t a = attributesOf(t, attrs[static_cast<std::size_t>(col)]);
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

void cursesResized(int cols, int rows)
{
  if (cols != COLS || rows != LINES)
    resizeterm(rows, cols);
  fitFullScreenWindows();
  clearok(stdscr, TRUE);
  markScreenDirty();
}

void cursesReadInput(const CursesTerminal &t)
{
  for (;;) {
    wint_t ch;
    int got = get_wch(&ch);
    if (got == ERR)
      return;
    if (got == KEY_CODE_YES)
      key(static_cast<int>(ch));
    else
      character(t, ch);
  }
}
