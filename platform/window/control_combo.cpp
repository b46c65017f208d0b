// The combo box: a drop-down list (choose only) or an editable field with a
// list, sorted or not. Enter or a tap opens the list, which shows as a
// popup below the box; Up and Down move in it, Enter chooses (CBN_SELCHANGE
// when the choice changed), Escape closes it. In a closed drop-down list a
// typed letter chooses the next entry that begins with it.
#include "platform/text/wstr.h"
#include "platform/window/control_support.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

// The class of the list that drops down.
constexpr const WCHAR *COMBO_LIST_CLASS = u"ComboLBox";
constexpr int CLOSED_HEIGHT = DISPLAY_CELL_HEIGHT; // the box's own height: one line

struct ComboItem {
  std::u16string text; // the entry
  LPARAM data = 0;     // CB_SETITEMDATA
};

struct ComboState {
  std::vector<ComboItem> items; // the entries
  int current = -1;             // the chosen entry, -1 for none
  EditLine edit;                // editable box: the field
  int droppedHeight = 0;        // pixels the list may take (the template's height)
  HWND list = nullptr;          // the dropped list, while open
  int hot = -1;                 // the entry marked in the open list
  int top = 0;                  // first entry shown in the open list
};

bool editable(HWND hwnd)
{
  return (GetWindowLongPtrW(hwnd, GWL_STYLE) & CBS_TYPEMASK) == CBS_DROPDOWN;
}

bool sorted(HWND hwnd)
{
  return (GetWindowLongPtrW(hwnd, GWL_STYLE) & CBS_SORT) != 0;
}

bool startsWithIgnoringCase(const std::u16string &text, std::u16string_view prefix)
{
  return text.size() >= prefix.size() && wstrICmp(std::u16string_view(text).substr(0, prefix.size()), prefix) == 0;
}

// Searches from the entry after `after` to the end, then from the start up
// to `after`, for an entry that equals (exact) or begins with the text,
// ignoring case. -1 for none.
int search(const ComboState &s, WPARAM after, LPCWSTR text, bool exact)
{
  if (!text)
    return static_cast<int>(CB_ERR);
  const int n = static_cast<int>(s.items.size());
  int start = static_cast<int>(static_cast<LONG_PTR>(after));
  if (start < -1 || start >= n)
    start = -1;
  std::u16string_view want(text);
  for (int k = 1; k <= n; ++k) {
    int i = (start + k) % n;
    const std::u16string &t = s.items[static_cast<std::size_t>(i)].text;
    if (exact ? wstrICmp(std::u16string_view(t), want) == 0 : startsWithIgnoringCase(t, want))
      return i;
  }
  return static_cast<int>(CB_ERR);
}

int insertAt(ComboState &s, int index, LPCWSTR text)
{
  ComboItem item{text ? std::u16string(text) : std::u16string(), 0};
  if (index < 0 || index > static_cast<int>(s.items.size()))
    index = static_cast<int>(s.items.size());
  s.items.insert(s.items.begin() + index, item);
  if (s.current >= index)
    ++s.current;
  markScreenDirty();
  return index;
}

// After the entries that sort at or before text, found by halving: a sorted
// box of thousands of entries (the rule editor's suggestions) would
// otherwise be filled in quadratic time.
int sortedPlace(const ComboState &s, LPCWSTR text)
{
  std::u16string_view t(text ? text : u"");
  auto after = std::upper_bound(s.items.begin(), s.items.end(), t, [](std::u16string_view want, const auto &item) {
    return wstrICmp(want, std::u16string_view(item.text)) < 0;
  });
  return static_cast<int>(after - s.items.begin());
}

void choose(HWND hwnd, ComboState &s, int index)
{
  s.current = index;
  if (editable(hwnd))
    s.edit.set(index >= 0 ? std::u16string_view(s.items[static_cast<std::size_t>(index)].text) : std::u16string_view());
  markScreenDirty();
}

int visibleEntries(const ComboState &s)
{
  int rows = std::max(1, s.droppedHeight / DISPLAY_CELL_HEIGHT);
  return std::min(rows, static_cast<int>(s.items.size()));
}

void keepHotVisible(ComboState &s)
{
  const int rows = visibleEntries(s);
  if (s.hot < s.top)
    s.top = std::max(0, s.hot);
  if (s.hot >= s.top + rows)
    s.top = s.hot - rows + 1;
}

void closeList(HWND hwnd, ComboState &s)
{
  if (!s.list)
    return;
  HWND list = s.list;
  s.list = nullptr;
  DestroyWindow(list);
  markScreenDirty();
  notifyCommand(hwnd, CBN_CLOSEUP);
}

void openList(HWND hwnd, ComboState &s)
{
  if (s.list || s.items.empty())
    return;
  notifyCommand(hwnd, CBN_DROPDOWN);
  RECT r;
  GetWindowRect(hwnd, &r);
  s.hot = s.current >= 0 ? s.current : 0;
  s.top = 0;
  keepHotVisible(s);
  const int height = (visibleEntries(s) + 2) * DISPLAY_CELL_HEIGHT;
  int cx, cy;
  displayScreenSize(&cx, &cy);
  int y = r.bottom;
  if (y + height > cy - DISPLAY_CELL_HEIGHT)
    y = std::max(DISPLAY_CELL_HEIGHT, r.top - height);
  HWND owner = hwnd;
  while (GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD)
    owner = GetParent(owner);
  s.list = CreateWindowExW(0, COMBO_LIST_CLASS, u"", WS_POPUP | WS_VISIBLE, r.left, y,
                           r.right - r.left, height, owner, nullptr, nullptr, hwnd);
  markScreenDirty();
}

void pick(HWND hwnd, ComboState &s, int index)
{
  const bool changed = index != s.current;
  choose(hwnd, s, index);
  closeList(hwnd, s);
  if (changed)
    notifyCommand(hwnd, CBN_SELCHANGE);
}

LRESULT copyText(const std::u16string &text, WPARAM capacity, LPARAM buffer)
{
  auto *out = reinterpret_cast<LPWSTR>(buffer);
  if (!out || capacity == 0)
    return 0;
  std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
  text.copy(out, n);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT keyDown(HWND hwnd, ComboState &s, WPARAM vk)
{
  if (s.list) {
    const int n = static_cast<int>(s.items.size());
    switch (vk) {
    case VK_UP:
      s.hot = std::max(0, s.hot - 1);
      break;
    case VK_DOWN:
      s.hot = std::min(n - 1, s.hot + 1);
      break;
    case VK_PRIOR:
      s.hot = std::max(0, s.hot - visibleEntries(s));
      break;
    case VK_NEXT:
      s.hot = std::min(n - 1, s.hot + visibleEntries(s));
      break;
    case VK_HOME:
      s.hot = 0;
      break;
    case VK_END:
      s.hot = n - 1;
      break;
    case VK_RETURN:
      pick(hwnd, s, s.hot);
      return 0;
    case VK_ESCAPE:
      closeList(hwnd, s);
      return 0;
    default:
      return 0;
    }
    keepHotVisible(s);
    markScreenDirty();
    return 0;
  }
  if (vk == VK_RETURN) {
    openList(hwnd, s);
    return 0;
  }
  if (editable(hwnd)) {
    bool handled;
    if (s.edit.key(vk, &handled))
      notifyCommand(hwnd, CBN_EDITCHANGE);
    markScreenDirty();
  }
  return 0;
}

void character(HWND hwnd, ComboState &s, WCHAR ch)
{
  if (editable(hwnd)) {
    if (s.edit.character(ch)) {
      markScreenDirty();
      notifyCommand(hwnd, CBN_EDITCHANGE);
    }
    return;
  }
  if (ch <= 0x20 || s.items.empty())
    return;
  const WCHAR prefix[2] = {ch, 0};
  int found = search(s, static_cast<WPARAM>(s.list ? s.hot : s.current), prefix, false);
  if (found < 0)
    return;
  if (s.list) {
    s.hot = found;
    keepHotVisible(s);
    markScreenDirty();
  } else if (found != s.current) {
    choose(hwnd, s, found);
    notifyCommand(hwnd, CBN_SELCHANGE);
  }
}

LRESULT comboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  ComboState *s = controlLifetime<ComboState>(hwnd, message);
  if (!s)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  const int count = static_cast<int>(s->items.size());
  auto valid = [&](WPARAM i) { return static_cast<LONG_PTR>(i) >= 0 && static_cast<LONG_PTR>(i) < count; };
  switch (message) {
  case WM_NCCREATE:
    s->droppedHeight = reinterpret_cast<const CREATESTRUCTW *>(lParam)->cy;
    return TRUE;
  case WM_CREATE: {
    RECT r;
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, CLOSED_HEIGHT,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  case WM_DESTROY:
    if (s->list) {
      HWND list = s->list;
      s->list = nullptr;
      DestroyWindow(list);
    }
    return 0;
  case CB_ADDSTRING:
    return insertAt(*s, sorted(hwnd) ? sortedPlace(*s, reinterpret_cast<LPCWSTR>(lParam)) : count,
                    reinterpret_cast<LPCWSTR>(lParam));
  case CB_INSERTSTRING:
    return insertAt(*s, static_cast<int>(static_cast<LONG_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam));
  case CB_DELETESTRING:
    if (!valid(wParam))
      return CB_ERR;
    s->items.erase(s->items.begin() + static_cast<LONG_PTR>(wParam));
    if (s->current == static_cast<int>(wParam))
      s->current = -1;
    else if (s->current > static_cast<int>(wParam))
      --s->current;
    markScreenDirty();
    return static_cast<LRESULT>(s->items.size());
  case CB_RESETCONTENT:
    closeList(hwnd, *s);
    s->items.clear();
    s->current = -1;
    if (editable(hwnd))
      s->edit.set(u"");
    markScreenDirty();
    return 0;
  case CB_GETCOUNT:
    return count;
  case CB_GETCURSEL:
    return s->current;
  case CB_SETCURSEL:
    if (!valid(wParam)) {
      choose(hwnd, *s, -1);
      return CB_ERR;
    }
    choose(hwnd, *s, static_cast<int>(wParam));
    return static_cast<LRESULT>(wParam);
  case CB_GETLBTEXT:
    if (!valid(wParam))
      return CB_ERR;
    return copyText(s->items[wParam].text, s->items[wParam].text.size() + 1, lParam);
  case CB_GETLBTEXTLEN:
    return valid(wParam) ? static_cast<LRESULT>(s->items[wParam].text.size()) : CB_ERR;
  case CB_FINDSTRING:
    return search(*s, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
  case CB_FINDSTRINGEXACT:
    return search(*s, wParam, reinterpret_cast<LPCWSTR>(lParam), true);
  case CB_SELECTSTRING: {
    int found = search(*s, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
    if (found >= 0)
      choose(hwnd, *s, found);
    return found;
  }
  case CB_GETITEMDATA:
    return valid(wParam) ? s->items[wParam].data : CB_ERR;
  case CB_SETITEMDATA:
    if (!valid(wParam))
      return CB_ERR;
    s->items[wParam].data = lParam;
    return TRUE;
  case CB_SHOWDROPDOWN:
    if (wParam)
      openList(hwnd, *s);
    else
      closeList(hwnd, *s);
    return TRUE;
  case CB_GETDROPPEDSTATE:
    return s->list ? TRUE : FALSE;
  case CB_LIMITTEXT:
    s->edit.limit = wParam ? wParam : EDIT_DEFAULT_LIMIT;
    return TRUE;
  case WM_SETTEXT: {
    auto text = reinterpret_cast<LPCWSTR>(lParam);
    if (editable(hwnd)) {
      s->edit.set(text ? text : u"");
      markScreenDirty();
      return TRUE;
    }
    int found = search(*s, static_cast<WPARAM>(-1), text ? text : u"", true);
    if (found < 0)
      return CB_ERR;
    choose(hwnd, *s, found);
    return TRUE;
  }
  case WM_GETTEXT:
    if (editable(hwnd))
      return copyText(s->edit.text, wParam, lParam);
    return copyText(s->current >= 0 ? s->items[static_cast<std::size_t>(s->current)].text : std::u16string(),
                    wParam, lParam);
  case WM_GETTEXTLENGTH:
    if (editable(hwnd))
      return static_cast<LRESULT>(s->edit.text.size());
    return s->current >= 0 ? static_cast<LRESULT>(s->items[static_cast<std::size_t>(s->current)].text.size()) : 0;
  case WM_KEYDOWN:
    return keyDown(hwnd, *s, wParam);
  case WM_CHAR:
    character(hwnd, *s, static_cast<WCHAR>(wParam));
    return 0;
  case WM_LBUTTONDOWN:
    SetFocus(hwnd);
    return 0;
  case WM_LBUTTONUP:
    if (s->list)
      closeList(hwnd, *s);
    else
      openList(hwnd, *s);
    return 0;
  case WM_SETFOCUS:
    // The field's text is selected whole, however the focus came, as the
    // handheld's combo box does: typing replaces it.
    if (editable(hwnd)) {
      s->edit.select(0, -1);
      markScreenDirty();
    }
    notifyCommand(hwnd, CBN_SETFOCUS);
    return 0;
  case WM_KILLFOCUS:
    closeList(hwnd, *s);
    notifyCommand(hwnd, CBN_KILLFOCUS);
    return 0;
  case WM_GETDLGCODE:
    if (s->list)
      return wParam == VK_TAB ? DLGC_WANTCHARS : DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
    return DLGC_WANTCHARS | (editable(hwnd) && (wParam == VK_LEFT || wParam == VK_RIGHT) ? DLGC_WANTARROWS : 0) |
           (wParam == VK_RETURN ? DLGC_WANTALLKEYS : 0);
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintCombo(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  ComboState *s = controlState<ComboState>(hwnd);
  if (!s)
    return;
  const BYTE attr = controlAttr(hwnd, CELL_FIELD);
  const int field = std::max(0, cells.width() - 1);
  if (editable(hwnd)) {
    s->edit.paint(canvas, cells.left, cells.top, field, attr, GetFocus() == hwnd && !s->list);
  } else {
    canvas.fill(CellRect{cells.left, cells.top, cells.left + field, cells.top + 1}, attr);
    if (s->current >= 0)
      canvas.text(cells.left, cells.top, s->items[static_cast<std::size_t>(s->current)].text, field, attr);
  }
  canvas.put(cells.right - 1, cells.top, U'▼', attr);
}

// The dropped list: a popup whose creation parameter is its combo box.
LRESULT comboListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_NCCREATE:
    SetWindowLongPtrW(hwnd, 0,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams));
    return TRUE;
  case WM_LBUTTONUP: {
    auto combo = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, 0));
    ComboState *s = controlState<ComboState>(combo);
    if (!s)
      return 0;
    const int row = GET_Y_LPARAM(lParam) / DISPLAY_CELL_HEIGHT - 1;
    const int index = s->top + row;
    if (row >= 0 && index < static_cast<int>(s->items.size()))
      pick(combo, *s, index);
    return 0;
  }
  case WM_CLOSE: {
    auto combo = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, 0));
    if (ComboState *s = controlState<ComboState>(combo))
      closeList(combo, *s);
    return 0;
  }
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintComboList(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  auto combo = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, 0));
  ComboState *s = controlState<ComboState>(combo);
  if (!s)
    return;
  canvas.fill(cells, CELL_FIELD);
  canvas.frame(cells, CELL_FRAME);
  const int rows = cells.height() - 2;
  for (int i = 0; i < rows; ++i) {
    const int index = s->top + i;
    if (index >= static_cast<int>(s->items.size()))
      break;
    const BYTE attr = index == s->hot ? CELL_FOCUS : CELL_FIELD;
    canvas.fill(CellRect{cells.left + 1, cells.top + 1 + i, cells.right - 1, cells.top + 2 + i}, attr);
    canvas.text(cells.left + 1, cells.top + 1 + i, s->items[static_cast<std::size_t>(index)].text,
                cells.width() - 2, attr);
  }
}

} // namespace

void registerComboClasses()
{
  registerSystemClass(WC_COMBOBOXW, comboProc, sizeof(LONG_PTR), paintCombo);
  registerSystemClass(COMBO_LIST_CLASS, comboListProc, sizeof(LONG_PTR), paintComboList, true);
}
