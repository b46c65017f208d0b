// The static control: a text (wrapped over the lines it has), a bitmap or
// an icon; with SS_NOTIFY a tap sends STN_CLICKED.
#include "platform/resources/resources.h"
#include "platform/window/control_support.h"
#include "platform/window/window_internal.h"

namespace {

struct StaticState {
  WORD picture = 0; // bitmap or icon resource id (SS_BITMAP, SS_ICON)
};

LRESULT staticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  StaticState *s = controlLifetime<StaticState>(hwnd, message);
  switch (message) {
  case WM_NCCREATE: {
    const auto *cs = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    if (s && cs->lpszName && IS_INTRESOURCE(cs->lpszName))
      s->picture = static_cast<WORD>(reinterpret_cast<UINT_PTR>(cs->lpszName));
    return TRUE;
  }
  case WM_LBUTTONUP:
    if (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOTIFY)
      notifyCommand(hwnd, STN_CLICKED);
    return 0;
  case WM_GETDLGCODE:
    return DLGC_STATIC;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Word-wraps text into lines of at most width cells.
std::vector<std::u16string> wrap(const std::u16string &text, int width)
{
  std::vector<std::u16string> lines;
  std::u16string line;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t end = text.find_first_of(u" \n", i);
    if (end == std::u16string::npos)
      end = text.size();
    std::u16string word = text.substr(i, end - i);
    while (static_cast<int>(word.size()) > width && width > 0) {
      if (!line.empty()) {
        lines.push_back(line);
        line.clear();
      }
      lines.push_back(word.substr(0, static_cast<std::size_t>(width)));
      word.erase(0, static_cast<std::size_t>(width));
    }
    std::size_t need = line.empty() ? word.size() : line.size() + 1 + word.size();
    if (static_cast<int>(need) > width && !line.empty()) {
      lines.push_back(line);
      line = word;
    } else {
      line = line.empty() ? word : line + u" " + word;
    }
    if (end < text.size() && text[end] == u'\n') {
      lines.push_back(line);
      line.clear();
    }
    i = end + 1;
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

void paintStatic(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const BYTE attr = IsWindowEnabled(hwnd) ? CELL_PLAIN : CELL_DISABLED;
  StaticState *s = controlState<StaticState>(hwnd);
  const DWORD type = style & SS_TYPEMASK;
  if (type == SS_BITMAP || type == SS_ICON) {
    std::u16string picture = u"[*]";
    if (type == SS_BITMAP && s) {
      auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
      if (const BitmapResource *b = findBitmap(instance, MAKEINTRESOURCEW(s->picture)))
        picture = b->picture;
    }
    canvas.text(cells.left, cells.top, picture, cells.width(), attr);
    return;
  }
  std::vector<std::u16string> lines = wrap(windowText(hwnd), cells.width());
  for (int i = 0; i < static_cast<int>(lines.size()) && i < cells.height(); ++i) {
    const std::u16string &line = lines[static_cast<std::size_t>(i)];
    int col = cells.left;
    const int spare = cells.width() - static_cast<int>(line.size());
    if (type == SS_CENTER && spare > 0)
      col += spare / 2;
    else if (type == SS_RIGHT && spare > 0)
      col += spare;
    canvas.text(col, cells.top + i, line, cells.width(), attr);
  }
}

} // namespace

void registerStaticClass()
{
  registerSystemClass(WC_STATICW, staticProc, sizeof(LONG_PTR), paintStatic);
}
