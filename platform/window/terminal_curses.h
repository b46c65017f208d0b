// What both terminal displays share (the program's own terminal and a
// terminal lent by another process, display_lent.cpp): one ncurses screen
// per terminal, drawing the composed screen, sizes, and turning keys and
// clicks into messages. Not for use outside platform/window.
#pragma once

#include "platform/window/display.h"

#include <cstdio>
#include <string>

struct screen; // ncurses' SCREEN

// One terminal ncurses draws on.
struct CursesTerminal {
  FILE *in = nullptr;        // where keys are read
  FILE *out = nullptr;       // where the screen is written
  std::string type;          // terminal type for the database; empty: TERM
  bool rawKeys = false;      // raw(): interrupt and suspend keys arrive as keys
  screen *scr = nullptr;     // ncurses' screen, made by cursesStart
  bool on = false;           // ncurses draws on it now
  bool colours = false;      // the terminal has colours
};

// Makes t's screen current (creating it the first time) and takes the
// terminal over. False when ncurses cannot use it (no such terminal type).
bool cursesStart(CursesTerminal &t);
// True when ncurses knows the terminal type (empty: TERM), found without
// writing to the terminal or changing its settings.
bool cursesKnowsType(const std::string &type);
// Clears the screen and gives the terminal back in the state it was in
// when the screen was made; the screen is kept for the next cursesStart.
void cursesStop(CursesTerminal &t);
// Gives the terminal back without clearing (the screen is kept).
void cursesSuspend(CursesTerminal &t);
// Frees t's screen (after cursesStop or cursesSuspend).
void cursesFree(CursesTerminal &t);
// The terminal's size in cells while ncurses is on.
void cursesSize(int *cols, int *rows);
// Draws the screen that the window system composed (renderScreen).
void cursesDraw(CursesTerminal &t, const ScreenText &s);
// The terminal changed size: ncurses and the full-screen windows follow.
void cursesResized(int cols, int rows);
// Reads every key and click that arrived and turns them into messages.
void cursesReadInput(const CursesTerminal &t);

// ---- The program's own terminal while it is lent (display_terminal.cpp) ----

// Puts the terminal as the user had it before this process drew there, so
// that a borrower finds (and gives back) the terminal of the user.
void terminalSuspendForLending();
// The terminal is back: what was on it is drawn again at the next wait.
void terminalResumeAfterLending();
