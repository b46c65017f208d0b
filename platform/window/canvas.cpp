// The cell grid and the mapping from pixels to cells.
#include "platform/window/canvas.h"

#include "platform/window/display.h"

#include <algorithm>

Canvas::Canvas(int c, int r) : cols(c), rows(r), cells(static_cast<std::size_t>(c * r)), clip{0, 0, c, r} {}

void Canvas::put(int col, int row, char32_t ch, BYTE attr)
{
  if (col < clip.left || col >= clip.right || row < clip.top || row >= clip.bottom)
    return;
  if (col < 0 || row < 0 || col >= cols || row >= rows)
    return;
  cells[static_cast<std::size_t>(row * cols + col)] = Cell{ch, attr};
}

void Canvas::fill(const CellRect &r, BYTE attr)
{
  for (int row = r.top; row < r.bottom; ++row)
    for (int col = r.left; col < r.right; ++col)
      put(col, row, U' ', attr);
}

int Canvas::text(int col, int row, std::u16string_view s, int maxCols, BYTE attr)
{
  int written = 0;
  for (std::size_t i = 0; i < s.size() && written < maxCols; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = U'?';
    }
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      c = U'?';
    put(col + written, row, c, attr);
    ++written;
  }
  return written;
}

void Canvas::frame(const CellRect &r, BYTE attr)
{
  if (r.width() < 2 || r.height() < 2)
    return;
  for (int col = r.left + 1; col < r.right - 1; ++col) {
    put(col, r.top, U'─', attr);
    put(col, r.bottom - 1, U'─', attr);
  }
  for (int row = r.top + 1; row < r.bottom - 1; ++row) {
    put(r.left, row, U'│', attr);
    put(r.right - 1, row, U'│', attr);
  }
  put(r.left, r.top, U'┌', attr);
  put(r.right - 1, r.top, U'┐', attr);
  put(r.left, r.bottom - 1, U'└', attr);
  put(r.right - 1, r.bottom - 1, U'┘', attr);
}

CellRect cellsOf(const RECT &px)
{
  const LONG width = px.right - px.left;
  const LONG height = px.bottom - px.top;
  if (width <= 0 || height <= 0)
    return CellRect{};
  auto floorDiv = [](LONG a, LONG b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); };
  CellRect r;
  r.left = floorDiv(px.left + DISPLAY_CELL_WIDTH / 2, DISPLAY_CELL_WIDTH);
  r.right = std::max(r.left + 1, floorDiv(px.right + DISPLAY_CELL_WIDTH / 2, DISPLAY_CELL_WIDTH));
  if (height < 2 * DISPLAY_CELL_HEIGHT) {
    r.top = floorDiv(px.top + height / 2, DISPLAY_CELL_HEIGHT);
    r.bottom = r.top + 1;
  } else {
    r.top = floorDiv(px.top + DISPLAY_CELL_HEIGHT / 2, DISPLAY_CELL_HEIGHT);
    r.bottom = std::max(r.top + 1, floorDiv(px.bottom + DISPLAY_CELL_HEIGHT / 2, DISPLAY_CELL_HEIGHT));
  }
  return r;
}

CellRect windowCells(HWND hwnd)
{
  RECT r;
  if (!GetWindowRect(hwnd, &r))
    return CellRect{};
  return cellsOf(r);
}

BYTE controlAttr(HWND hwnd, BYTE base)
{
  if (!IsWindowEnabled(hwnd))
    return static_cast<BYTE>(base | CELL_DISABLED);
  if (GetFocus() == hwnd)
    return static_cast<BYTE>(base | CELL_FOCUS);
  return base;
}
