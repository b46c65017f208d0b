// Lending this process's terminal to a window of another process for as
// long as that window handles one sent message. A program that runs without
// a display (a service) cannot show anything; a process on a terminal that
// sends it a message with its terminal lent gets the dialogs that the
// handling opens on that terminal, and the terminal back, as it was, with
// the result. docs/window.md "Lending a terminal" describes the whole.
#pragma once

#include "platform/window/window.h"

// What became of a message sent with a terminal lent.
enum class LendOutcome {
  Lent,     // handled with the terminal lent; *result is the window's answer
  Declined, // the receiver has a display of its own and handles it there;
            // *result is set unless LEND_RETURN_WHEN_DECLINED stopped the wait
  Busy,     // another terminal is lent to the receiver already: not handled
  Failed,   // no such window, it went away, refused, or nothing here to lend
};

// Stop waiting as soon as the receiver declines the terminal (it shows what
// it shows on its own display; nobody here needs its answer).
constexpr DWORD LEND_RETURN_WHEN_DECLINED = 0x1;

// True when this process has a terminal it can lend: standard output is a
// terminal that the terminal display could draw on (TERM set, not "dumb"),
// and QUILLMARSH_DISPLAY does not ask for none.
bool terminalToLend();

// Sends message to hwnd, a window of another process found by FindWindowW,
// lending this process's terminal (standard output's) while it is handled.
// This process's own terminal display, when it has one, is put aside while
// it waits and drawn again after. Waits as SendMessageW does; a termination
// signal meanwhile asks for the terminal back (the receiver closes what it
// shows as cancelled) and stops the wait once it is back.
LendOutcome sendMessageLendingTerminal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       DWORD flags, LRESULT *result);

// Keeps this process's terminal display off the terminal while a call may
// lend it: a library with its own copy of the window system (an Inbox menu
// extension) lends the terminal with its own calls and cannot put this
// display aside. Nothing is drawn or read from the terminal until
// terminalTakenBack, which draws the screen again. Does nothing without a
// terminal display of this process.
void terminalPutAside();
void terminalTakenBack();

// The same with a terminal given by descriptor and type (tests, and a
// program lending a terminal that is not its standard output). The caller
// keeps terminalFd; the display is not put aside.
LendOutcome sendMessageLendingFd(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 int terminalFd, const char *terminalType, DWORD flags,
                                 LRESULT *result);
