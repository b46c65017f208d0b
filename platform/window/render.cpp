// Composing the screen: the title bar, the window in front with its
// controls, its softkey bar, and the popups above it (menus, boxes, a combo
// box's list), drawn into cells by each class's paint procedure.
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/canvas.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

// What the composition needs to know of a window, read under the lock.
struct WindowFacts {
  bool exists = false;
  DWORD style = 0;
  bool popup = false;
  bool doneButton = false;
  HWND softkeyBar = nullptr;
  std::u16string title;
  PaintProc paint = nullptr;
  SCROLLINFO vscroll{};
};

WindowFacts factsOf(HWND hwnd)
{
  WindowFacts f;
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  if (!w)
    return f;
  f.exists = true;
  f.style = w->style;
  f.popup = w->popup;
  f.doneButton = w->doneButton;
  f.softkeyBar = w->softkeyBar;
  f.title = w->title;
  f.paint = w->cls->paint;
  f.vscroll = w->scroll[SB_VERT];
  return f;
}

CellRect intersect(const CellRect &a, const CellRect &b)
{
  return CellRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
}

// A scroll bar in the window's right column: a track with the thumb where
// the position lies.
void paintScrollBar(Canvas &canvas, const CellRect &cells, const SCROLLINFO &si)
{
  const int col = cells.right - 1;
  for (int row = cells.top; row < cells.bottom; ++row)
    canvas.put(col, row, U'░', CELL_PLAIN);
  const int span = si.nMax - si.nMin - static_cast<int>(si.nPage) + 1;
  int thumb = cells.top;
  if (span > 0 && cells.height() > 1)
    thumb = cells.top + static_cast<int>(static_cast<long long>(si.nPos - si.nMin) * (cells.height() - 1) / span);
  canvas.put(col, thumb, U'█', CELL_PLAIN);
}

void paintTree(HWND hwnd, Canvas &canvas, const CellRect &parentClip)
{
  WindowFacts f = factsOf(hwnd);
  if (!f.exists || !(f.style & WS_VISIBLE))
    return;
  CellRect cells = windowCells(hwnd);
  CellRect clip = intersect(cells, parentClip);
  if (clip.empty())
    return;
  if (f.paint) {
    canvas.clip = clip;
    f.paint(hwnd, canvas, cells);
  }
  CellRect inner = clip;
  const bool scrolls = (f.style & WS_VSCROLL) && f.vscroll.nMax > f.vscroll.nMin;
  if (scrolls)
    inner.right = std::max(inner.left, inner.right - 1);
  for (HWND child : childWindows(hwnd))
    paintTree(child, canvas, inner);
  if (scrolls) {
    canvas.clip = clip;
    paintScrollBar(canvas, CellRect{clip.left, clip.top, clip.right, clip.bottom}, f.vscroll);
  }
}

void paintTitleBar(Canvas &canvas, const WindowFacts &front)
{
  canvas.clip = CellRect{0, 0, canvas.cols, canvas.rows};
  CellRect bar{0, 0, canvas.cols, 1};
  canvas.fill(bar, CELL_BAR);
  int okWidth = front.doneButton ? 4 : 0;
  canvas.text(1, 0, front.title, canvas.cols - 2 - okWidth, CELL_BAR);
  if (front.doneButton)
    canvas.text(canvas.cols - 3, 0, u"ok", 2, CELL_BAR);
}

void paintSoftkeyBar(Canvas &canvas, const WindowFacts &front)
{
  canvas.clip = CellRect{0, 0, canvas.cols, canvas.rows};
  CellRect bar{0, canvas.rows - 1, canvas.cols, canvas.rows};
  canvas.fill(bar, CELL_BAR);
  if (!front.softkeyBar)
    return;
  WindowFacts barFacts = factsOf(front.softkeyBar);
  if (barFacts.paint)
    barFacts.paint(front.softkeyBar, canvas, bar);
}

} // namespace

ScreenText renderScreen(int cols, int rows)
{
  ScreenText out;
  Canvas canvas(cols, rows);
  std::vector<HWND> z;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    z = ws.zOrder;
  }
  int front = -1;
  for (int i = static_cast<int>(z.size()) - 1; i >= 0 && front < 0; --i) {
    WindowFacts f = factsOf(z[static_cast<std::size_t>(i)]);
    if (f.exists && !f.popup && (f.style & WS_VISIBLE))
      front = i;
  }
  if (front >= 0) {
    out.shown = true;
    HWND screen = z[static_cast<std::size_t>(front)];
    WindowFacts f = factsOf(screen);
    paintTitleBar(canvas, f);
    paintSoftkeyBar(canvas, f);
    paintTree(screen, canvas, CellRect{0, 1, cols, rows - 1});
    for (std::size_t i = static_cast<std::size_t>(front) + 1; i < z.size(); ++i)
      paintTree(z[i], canvas, CellRect{0, 0, cols, rows});
  }
  out.caretCol = canvas.caretCol;
  out.caretRow = canvas.caretRow;
  for (int row = 0; row < rows; ++row) {
    std::u32string line;
    std::vector<BYTE> attrs;
    for (int col = 0; col < cols; ++col) {
      const Cell &c = canvas.cells[static_cast<std::size_t>(row * cols + col)];
      line.push_back(c.ch);
      attrs.push_back(c.attr);
    }
    std::string utf8;
    for (char32_t c : line) {
      if (c < 0x80) {
        utf8.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else if (c < 0x10000) {
        utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    out.lines.push_back(std::move(utf8));
    out.attrs.push_back(std::move(attrs));
  }
  return out;
}
