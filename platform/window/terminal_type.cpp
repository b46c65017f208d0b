// Whether ncurses knows a terminal type, apart from the drawing code:
// term.h's capability macros ("lines", "columns") would clash with it.
#include "platform/window/terminal_curses.h"

#include <curses.h>
#include <term.h>

bool cursesKnowsType(const std::string &type)
{
  // The terminal database only: no descriptor is looked at.
  TERMINAL *current = cur_term;
  int error = 0;
  bool known = setupterm(type.empty() ? nullptr : type.c_str(), -1, &error) == OK;
  TERMINAL *made = cur_term;
  if (made && made != current) {
    (void)set_curterm(current);
    (void)del_curterm(made);
  }
  return known;
}
