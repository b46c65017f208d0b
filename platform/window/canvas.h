// Inside the window system: the grid of character cells that windows are
// drawn into, and how pixel rectangles map onto it. Not for use outside
// platform/window.
#pragma once

#include "platform/window/window.h"

#include <string>
#include <string_view>
#include <vector>

// What a cell looks like, as bits; a display maps them to its colours.
enum CellAttr : BYTE {
  CELL_PLAIN = 0,
  CELL_FIELD = 1,     // inside an input field (edit, combo box, list)
  CELL_FOCUS = 2,     // the focused control, or the chosen line of a list
  CELL_BAR = 4,       // title bar and softkey bar
  CELL_DISABLED = 8,  // a disabled control
  CELL_FRAME = 16,    // the frame of a popup (menu, message box, list)
  CELL_SELECTED = 32, // the chosen line of a list that does not have the focus
};

// A rectangle of cells; right and bottom lie just outside it.
struct CellRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};

struct Cell {
  char32_t ch = U' ';     // the character
  BYTE attr = CELL_PLAIN; // its look
};

// The screen's cells; drawing is clipped to `clip`.
struct Canvas {
  int cols = 0;             // width in cells
  int rows = 0;             // height in cells
  std::vector<Cell> cells;  // row by row
  CellRect clip;            // where drawing lands
  int caretCol = -1;        // where the text cursor shows (the focused edit field), or -1
  int caretRow = -1;

  Canvas(int c, int r);
  // One cell, when inside the clip.
  void put(int col, int row, char32_t ch, BYTE attr);
  // Fills a rectangle with blanks of attr.
  void fill(const CellRect &r, BYTE attr);
  // Writes text from col on row, at most maxCols cells (control characters
  // show as '?'); returns the cells written.
  int text(int col, int row, std::u16string_view s, int maxCols, BYTE attr);
  // A frame of line characters around r's edge.
  void frame(const CellRect &r, BYTE attr);
};

// The cells a window's screen rectangle covers: a window lower than two
// lines takes the one line its middle falls on; taller ones the lines
// their edges round to. At least one cell each way for a non-empty window.
CellRect cellsOf(const RECT &screenPixels);

// The cells of a window, from its screen rectangle.
CellRect windowCells(HWND hwnd);

// How a control draws the state it keeps: the class's paint procedure.
// Painting helpers the controls share.
BYTE controlAttr(HWND hwnd, BYTE base); // adds CELL_FOCUS / CELL_DISABLED
