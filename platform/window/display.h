// Displays: where the window system shows what a person has to see. Each
// display is one table of operations, as Wine's window core reaches its host
// through user_driver_funcs: a display fills in what it supports, and a null
// entry means the default written beside it.
//
// Three displays:
//   headless  no terminal: dialogs cannot be created (DialogBoxParamW -1,
//             menus and file dialogs cancelled); the tray keeps its icons
//             but shows nothing (message boxes take the shell's
//             standard-error form, platform/shell/msgbox.h);
//   terminal  the handheld's screen drawn in the terminal with ncurses:
//             the window in front fills it, the tray is a status line,
//             keys and mouse taps become messages (docs/window.md);
//   test      for tests: a 240 x 320 screen that tests read as text
//             (testDisplayScreen), and a script of steps that modal loops
//             run when they wait (testDisplayScript).
//
// The screen is measured in pixels and drawn in character cells of
// DISPLAY_CELL_WIDTH x DISPLAY_CELL_HEIGHT pixels, so that a 80 x 24
// terminal is about the handheld's 240 x 320 screen. The top line is the
// title bar of the window in front, the last line its softkey bar.
#pragma once

#include "platform/window/tray.h"
#include "platform/window/window.h"

#include <functional>
#include <string>
#include <vector>

// One character cell in pixels.
constexpr int DISPLAY_CELL_WIDTH = 3;
constexpr int DISPLAY_CELL_HEIGHT = 13;

struct DisplayDriver {
  const char *name; // "headless", "terminal" or "test"

  // Whether dialogs, menus and message boxes can be shown. False:
  // DialogBoxParamW reports -1, TrackPopupMenuEx chooses nothing.
  bool showsDialogs;

  // The tray changed: `icon` was added (NIM_ADD), changed (NIM_MODIFY, with
  // its new values) or removed (NIM_DELETE). Called on the thread that made
  // the change, after it, with no lock held. Null: nothing is shown.
  void (*pNotifyIcon)(DWORD message, const TrayIcon &icon);

  // The screen's size in pixels. Null: 240 x 320, the handheld's.
  void (*pScreenSize)(int *cx, int *cy);

  // A descriptor that the display's thread (the thread that first showed a
  // dialog or a tray icon) polls while it waits for messages, and the call
  // that reads what arrived there and turns it into messages. Null or -1:
  // no input.
  int (*pInputFd)();
  void (*pReadInput)();

  // The display's thread is about to wait, or a window asked to be drawn at
  // once (UpdateWindow): draw the screen if something changed. Null: nothing
  // is drawn.
  void (*pFlush)();

  // A modal loop (dialog, menu, message box, file dialog) of window `top`
  // has nothing to do and is about to wait. True when it did something, so
  // that the loop looks for messages again instead of waiting. Null: it waits.
  bool (*pIdle)(HWND top);

  // A line for standard error (ending in a newline) that must not land on
  // the screen. Called on any thread. Null: written at once.
  void (*pWriteLine)(const std::string &line);
};

const DisplayDriver &headlessDisplay();
const DisplayDriver &terminalDisplay();
const DisplayDriver &testDisplay();
// TERM names a terminal that can be drawn on (set, and not "dumb").
bool terminalUsable();

// The display in use. Unless setDisplay chose one, it is chosen at first
// use: headless when QUILLMARSH_DISPLAY is "headless", standard output is
// not a terminal or the terminal is not one ncurses can draw on
// (terminalUsable), else the terminal.
const DisplayDriver &currentDisplay();

// Makes display the one in use (the program's start-up, tests).
void setDisplay(const DisplayDriver &display);

// ---- What the window system asks of the display -------------------------------

// The screen's size in pixels (the display's, or 240 x 320).
void displayScreenSize(int *cx, int *cy);
// The part of the screen a full-screen dialog takes: between the title bar
// (the first line) and the softkey bar (the last line).
RECT displayWorkArea();
// Something on the screen changed; the display draws it before its thread
// next waits.
void markScreenDirty();
// Takes the dirty mark: true when the screen changed since the last call.
bool takeScreenDirty();
// Draws at once (UpdateWindow).
void displayDrawNow();
// Writes a line (a report, a log line, ending in a newline) to standard
// error so that it does not scribble over what the display shows: the
// terminal display writes it above its status line, and holds it while its
// screen is drawn or its terminal lent, writing it when the screen is left.
// Any thread.
void displayWriteLine(const std::string &line);
// The calling thread shows dialogs or tray icons: its waits poll the
// display's input from now on. The first thread to call keeps it.
void claimDisplay();
// True when the calling thread may show dialogs: the display shows them and
// no other thread has claimed the display.
bool displayAvailableHere();
// Called by a modal loop that is about to wait (pIdle); true when the loop
// should look again instead of waiting.
bool displayIdle(HWND top);

// ---- The screen as text ----------------------------------------------------------

// The screen of the window in front, drawn into lines of `cols` x `rows`
// cells (UTF-8, one string per line, trailing blanks kept). Empty lines
// when nothing is shown. Also the cell attributes, one byte per cell
// (CellAttr in canvas.h), for displays that colour.
struct ScreenText {
  std::vector<std::string> lines;        // the characters
  std::vector<std::vector<BYTE>> attrs;  // the attributes, per line
  bool shown = false;                    // a window is shown (else only the tray)
  int caretCol = -1;                     // where the text cursor belongs, or -1
  int caretRow = -1;
};
ScreenText renderScreen(int cols, int rows);

// ---- Input, as a display delivers it --------------------------------------------

// A key pressed: WM_KEYDOWN (and TranslateMessage's WM_CHAR) to the focus
// window of the display's thread, or to its active window. `shift` sets
// KF_SHIFT_HELD. Call on the display's thread.
void displayKey(WPARAM vk, bool shift);
// A character typed (not one of TranslateMessage's keys): WM_CHAR to the
// focus window.
void displayChar(WCHAR ch);
// A tap at a screen cell: the window there gets WM_LBUTTONDOWN and
// WM_LBUTTONUP (a double tap: WM_LBUTTONDBLCLK too) in its client
// pixels; the title bar's "ok" sends IDOK; a softkey is pressed; with no
// window shown, a tap on the tray line activates the tray icon.
void displayTap(int col, int row, bool doubleTap);
// A tap-and-hold at a screen cell (a right click): the tap, then
// WM_CONTEXTMENU to the window in front with the window under the cell and
// the cell's screen pixels. Over a popup, the title bar or the softkey bar,
// or with nothing shown, it is a tap.
void displayHold(int col, int row);
// Enter on the tray's status line: the first tray icon is activated.
void displayActivateTray();

// ---- The test display ---------------------------------------------------------------

// What the test display was asked to show of the tray, oldest first.
struct TestDisplayNotice {
  DWORD message; // NIM_ADD, NIM_MODIFY or NIM_DELETE
  TrayIcon icon; // the icon as it was told
};

// Takes the test display's notices out of its record.
std::vector<TestDisplayNotice> testDisplayTakeNotices();

// Steps that modal loops run, one each time a loop waits, with the window
// of that loop (the dialog, menu or box in front). A loop that waits with no
// step left sends its window WM_CLOSE (a menu closes, a box answers Cancel),
// so a test that forgets to end a dialog ends instead of hanging; it is
// counted in testDisplayUnscripted.
void testDisplayScript(std::vector<std::function<void(HWND)>> steps);
// How many waits found no step since the last call; resets the count.
int testDisplayUnscripted();
// The test display's screen as text: 80 x 24 cells (240 x 320 pixels).
std::vector<std::string> testDisplayScreen();
// Sets the test display's screen size in pixels (a resize); full-screen
// dialogs are resized to it.
void testDisplaySetScreenSize(int cx, int cy);
