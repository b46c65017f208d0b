// The list view in report view: columns with a heading line, items with
// text, data and state, check boxes (state images 1 and 2), single or
// multiple selection and the selection mark. Up and Down select, Space
// toggles the line's check box, Enter is a double tap (NM_DBLCLK); a tap
// selects, a tap on the check box toggles it. State changes are reported
// with LVN_ITEMCHANGED carrying the item's whole old and new state.
#include "platform/window/control_support.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

struct ListItem {
  std::u16string text; // column 0's text
  LPARAM data = 0;     // LVIF_PARAM
  UINT state = 0;      // LVIS_* and the state image
};

struct ListColumn {
  std::u16string text; // heading
  int width = 0;       // pixels
  int fmt = LVCFMT_LEFT;
};

struct ListState {
  std::vector<ListItem> items;   // the lines
  std::vector<ListColumn> columns; // the columns
  DWORD exStyle = 0;             // LVS_EX_*
  int mark = -1;                 // the selection mark
  int top = 0;                   // first line shown
};

bool checkBoxes(const ListState &s)
{
  return (s.exStyle & LVS_EX_CHECKBOXES) != 0;
}

bool valid(const ListState &s, int i)
{
  return i >= 0 && i < static_cast<int>(s.items.size());
}

// Lines the list shows below its heading.
int pageLines(HWND hwnd)
{
  return std::max(1, windowCells(hwnd).height() - 1);
}

void notifyChanged(HWND hwnd, int index, UINT oldState, UINT newState, LPARAM data, UINT changed)
{
  NMLISTVIEW nm{};
  nm.hdr.code = LVN_ITEMCHANGED;
  nm.iItem = index;
  nm.uOldState = oldState;
  nm.uNewState = newState;
  nm.uChanged = changed;
  nm.lParam = data;
  notifyParent(hwnd, &nm.hdr);
}

// Sets an item's state bits under mask, keeping single selection single,
// and reports each change. The record may change under a notification, so
// items are looked up again after each one.
void setState(HWND hwnd, int index, UINT state, UINT mask)
{
  ListState *s = controlState<ListState>(hwnd);
  if (!s || !valid(*s, index))
    return;
  const bool single = (GetWindowLongPtrW(hwnd, GWL_STYLE) & LVS_SINGLESEL) != 0;
  if ((mask & state & LVIS_SELECTED) && single) {
    for (int i = 0; s && i < static_cast<int>(s->items.size()); ++i)
      if (i != index && (s->items[static_cast<std::size_t>(i)].state & LVIS_SELECTED)) {
        ListItem &other = s->items[static_cast<std::size_t>(i)];
        UINT old = other.state;
        other.state &= ~LVIS_SELECTED;
        notifyChanged(hwnd, i, old, other.state, other.data, LVIF_STATE);
        s = controlState<ListState>(hwnd);
      }
  }
  if ((mask & state & LVIS_FOCUSED) && s) {
    for (int i = 0; i < static_cast<int>(s->items.size()); ++i)
      if (i != index)
        s->items[static_cast<std::size_t>(i)].state &= ~LVIS_FOCUSED;
  }
  if (!s || !valid(*s, index))
    return;
  ListItem &item = s->items[static_cast<std::size_t>(index)];
  UINT old = item.state;
  item.state = (old & ~mask) | (state & mask);
  markScreenDirty();
  if (item.state != old)
    notifyChanged(hwnd, index, old, item.state, item.data, LVIF_STATE);
}

int focusedItem(const ListState &s)
{
  for (int i = 0; i < static_cast<int>(s.items.size()); ++i)
    if (s.items[static_cast<std::size_t>(i)].state & LVIS_FOCUSED)
      return i;
  return s.mark;
}

void ensureVisible(HWND hwnd, ListState &s, int index)
{
  const int lines = pageLines(hwnd);
  if (index < s.top)
    s.top = std::max(0, index);
  else if (index >= s.top + lines)
    s.top = index - lines + 1;
  markScreenDirty();
}

// The user moves to an item: it becomes selected and focused, and the mark.
void moveTo(HWND hwnd, int index)
{
  ListState *s = controlState<ListState>(hwnd);
  if (!s || !valid(*s, index))
    return;
  s->mark = index;
  ensureVisible(hwnd, *s, index);
  setState(hwnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void toggleCheck(HWND hwnd, int index)
{
  ListState *s = controlState<ListState>(hwnd);
  if (!s || !checkBoxes(*s) || !valid(*s, index))
    return;
  UINT image = (s->items[static_cast<std::size_t>(index)].state & LVIS_STATEIMAGEMASK) >> 12;
  setState(hwnd, index, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2), LVIS_STATEIMAGEMASK);
}

void activate(HWND hwnd, UINT code, int index, LPARAM at)
{
  NMITEMACTIVATE nm{};
  nm.hdr.code = code;
  nm.iItem = index;
  nm.ptAction = POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  notifyParent(hwnd, &nm.hdr);
}

LRESULT keyDown(HWND hwnd, ListState &s, WPARAM vk)
{
  const int n = static_cast<int>(s.items.size());
  if (n == 0)
    return 0;
  int at = focusedItem(s);
  switch (vk) {
  case VK_UP:
    moveTo(hwnd, at < 0 ? 0 : std::max(0, at - 1));
    return 0;
  case VK_DOWN:
    moveTo(hwnd, at < 0 ? 0 : std::min(n - 1, at + 1));
    return 0;
  case VK_PRIOR:
    moveTo(hwnd, std::max(0, at - pageLines(hwnd)));
    return 0;
  case VK_NEXT:
    moveTo(hwnd, std::min(n - 1, std::max(at, 0) + pageLines(hwnd)));
    return 0;
  case VK_HOME:
    moveTo(hwnd, 0);
    return 0;
  case VK_END:
    moveTo(hwnd, n - 1);
    return 0;
  case VK_SPACE:
    if (at >= 0)
      toggleCheck(hwnd, at);
    return 0;
  case VK_RETURN:
    activate(hwnd, NM_DBLCLK, at, 0);
    return 0;
  default:
    return 0;
  }
}

// The item under a point of the client area, -1 for none.
int itemAt(const ListState &s, LPARAM at)
{
  const int row = GET_Y_LPARAM(at) / DISPLAY_CELL_HEIGHT - 1; // below the heading line
  const int index = s.top + row;
  return row >= 0 && valid(s, index) ? index : -1;
}

LRESULT copyItemText(const ListItem &item, LVITEMW *lv)
{
  if (!lv->pszText || lv->cchTextMax <= 0)
    return 0;
  std::size_t n = std::min<std::size_t>(item.text.size(), static_cast<std::size_t>(lv->cchTextMax) - 1);
  item.text.copy(lv->pszText, n);
  lv->pszText[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT insertItem(HWND hwnd, ListState &s, const LVITEMW *lv)
{
  if (!lv || lv->iSubItem != 0)
    return -1;
  int index = std::clamp(lv->iItem, 0, static_cast<int>(s.items.size()));
  ListItem item;
  if ((lv->mask & LVIF_TEXT) && lv->pszText)
    item.text = lv->pszText;
  if (lv->mask & LVIF_PARAM)
    item.data = lv->lParam;
  UINT state = (lv->mask & LVIF_STATE) ? (lv->state & lv->stateMask) : 0;
  if (checkBoxes(s) && !(state & LVIS_STATEIMAGEMASK))
    state |= INDEXTOSTATEIMAGEMASK(1);
  s.items.insert(s.items.begin() + index, item);
  if (s.mark >= index)
    ++s.mark;
  markScreenDirty();
  if (state & (LVIS_SELECTED | LVIS_FOCUSED))
    setState(hwnd, index, state, ~0u);
  else
    s.items[static_cast<std::size_t>(index)].state = state;
  return index;
}

LRESULT listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  ListState *s = controlLifetime<ListState>(hwnd, message);
  if (!s)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  const int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
  auto *lv = reinterpret_cast<LVITEMW *>(lParam);
  switch (message) {
  case LVM_GETITEMCOUNT:
    return static_cast<LRESULT>(s->items.size());
  case LVM_INSERTITEMW:
    return insertItem(hwnd, *s, lv);
  case LVM_DELETEITEM:
    if (!valid(*s, index))
      return FALSE;
    s->items.erase(s->items.begin() + index);
    if (s->mark == index)
      s->mark = -1;
    else if (s->mark > index)
      --s->mark;
    markScreenDirty();
    return TRUE;
  case LVM_DELETEALLITEMS:
    s->items.clear();
    s->mark = -1;
    s->top = 0;
    markScreenDirty();
    return TRUE;
  case LVM_GETITEMW: {
    if (!lv || !valid(*s, lv->iItem))
      return FALSE;
    const ListItem &item = s->items[static_cast<std::size_t>(lv->iItem)];
    if (lv->mask & LVIF_TEXT)
      copyItemText(item, lv);
    if (lv->mask & LVIF_PARAM)
      lv->lParam = item.data;
    if (lv->mask & LVIF_STATE)
      lv->state = item.state & lv->stateMask;
    return TRUE;
  }
  case LVM_SETITEMW: {
    if (!lv || !valid(*s, lv->iItem) || lv->iSubItem != 0)
      return FALSE;
    ListItem &item = s->items[static_cast<std::size_t>(lv->iItem)];
    if ((lv->mask & LVIF_TEXT) && lv->pszText)
      item.text = lv->pszText;
    if (lv->mask & LVIF_PARAM)
      item.data = lv->lParam;
    markScreenDirty();
    if (lv->mask & LVIF_STATE)
      setState(hwnd, lv->iItem, lv->state, lv->stateMask);
    return TRUE;
  }
  case LVM_GETITEMTEXTW:
    if (!lv || !valid(*s, index))
      return 0;
    return copyItemText(s->items[static_cast<std::size_t>(index)], lv);
  case LVM_SETITEMTEXTW:
    if (!lv || !valid(*s, index) || lv->iSubItem != 0)
      return FALSE;
    s->items[static_cast<std::size_t>(index)].text = lv->pszText ? lv->pszText : u"";
    markScreenDirty();
    return TRUE;
  case LVM_SETITEMSTATE:
    if (!lv)
      return FALSE;
    if (index == -1) {
      for (int i = 0; s && i < static_cast<int>(s->items.size()); ++i) {
        setState(hwnd, i, lv->state, lv->stateMask);
        s = controlState<ListState>(hwnd);
      }
      return TRUE;
    }
    if (!valid(*s, index))
      return FALSE;
    setState(hwnd, index, lv->state, lv->stateMask);
    return TRUE;
  case LVM_GETITEMSTATE:
    return valid(*s, index) ? static_cast<LRESULT>(s->items[static_cast<std::size_t>(index)].state & lParam) : 0;
  case LVM_GETNEXTITEM: {
    const UINT flags = static_cast<UINT>(lParam);
    for (int i = index < 0 ? 0 : index + 1; i < static_cast<int>(s->items.size()); ++i) {
      UINT st = s->items[static_cast<std::size_t>(i)].state;
      if ((!(flags & LVNI_SELECTED) || (st & LVIS_SELECTED)) && (!(flags & LVNI_FOCUSED) || (st & LVIS_FOCUSED)))
        return i;
    }
    return -1;
  }
  case LVM_GETSELECTIONMARK:
    return s->mark;
  case LVM_SETSELECTIONMARK: {
    int previous = s->mark;
    s->mark = static_cast<int>(lParam);
    return previous;
  }
  case LVM_REDRAWITEMS:
    markScreenDirty();
    return TRUE;
  case LVM_ENSUREVISIBLE:
    if (!valid(*s, index))
      return FALSE;
    ensureVisible(hwnd, *s, index);
    return TRUE;
  case LVM_GETTOPINDEX:
    return s->top;
  case LVM_SETEXTENDEDLISTVIEWSTYLE: {
    DWORD previous = s->exStyle;
    DWORD mask = wParam ? static_cast<DWORD>(wParam) : ~0u;
    s->exStyle = (s->exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
    if (checkBoxes(*s))
      for (ListItem &item : s->items)
        if (!(item.state & LVIS_STATEIMAGEMASK))
          item.state |= INDEXTOSTATEIMAGEMASK(1);
    markScreenDirty();
    return previous;
  }
  case LVM_GETEXTENDEDLISTVIEWSTYLE:
    return s->exStyle;
  case LVM_INSERTCOLUMNW: {
    const auto *col = reinterpret_cast<const LVCOLUMNW *>(lParam);
    if (!col)
      return -1;
    ListColumn c;
    if ((col->mask & LVCF_TEXT) && col->pszText)
      c.text = col->pszText;
    if (col->mask & LVCF_WIDTH)
      c.width = col->cx;
    if (col->mask & LVCF_FMT)
      c.fmt = col->fmt;
    int at = std::clamp(index, 0, static_cast<int>(s->columns.size()));
    s->columns.insert(s->columns.begin() + at, c);
    markScreenDirty();
    return at;
  }
  case LVM_DELETECOLUMN:
    if (index < 0 || index >= static_cast<int>(s->columns.size()))
      return FALSE;
    s->columns.erase(s->columns.begin() + index);
    markScreenDirty();
    return TRUE;
  case LVM_GETCOLUMNWIDTH:
    return index >= 0 && index < static_cast<int>(s->columns.size()) ? s->columns[static_cast<std::size_t>(index)].width : 0;
  case LVM_SETCOLUMNWIDTH:
    if (index < 0 || index >= static_cast<int>(s->columns.size()))
      return FALSE;
    s->columns[static_cast<std::size_t>(index)].width = static_cast<int>(static_cast<short>(LOWORD(static_cast<UINT_PTR>(lParam))));
    markScreenDirty();
    return TRUE;
  case WM_KEYDOWN:
    return keyDown(hwnd, *s, wParam);
  case WM_LBUTTONDOWN: {
    SetFocus(hwnd);
    int hit = itemAt(*s, lParam);
    if (hit >= 0) {
      moveTo(hwnd, hit);
      if (GET_X_LPARAM(lParam) < 3 * DISPLAY_CELL_WIDTH)
        toggleCheck(hwnd, hit);
    }
    return 0;
  }
  case WM_LBUTTONUP:
    activate(hwnd, NM_CLICK, itemAt(*s, lParam), lParam);
    return 0;
  case WM_LBUTTONDBLCLK:
    activate(hwnd, NM_DBLCLK, itemAt(*s, lParam), lParam);
    return 0;
  case WM_SETFOCUS:
  case WM_KILLFOCUS: {
    NMHDR hdr{};
    hdr.code = message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS;
    notifyParent(hwnd, &hdr);
    markScreenDirty();
    return 0;
  }
  case WM_GETDLGCODE:
    switch (wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
      return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_SPACE:
      return DLGC_WANTALLKEYS;
    default:
      return 0;
    }
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintList(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  ListState *s = controlState<ListState>(hwnd);
  if (!s)
    return;
  const bool focused = GetFocus() == hwnd;
  const bool showSelection = focused || (GetWindowLongPtrW(hwnd, GWL_STYLE) & LVS_SHOWSELALWAYS);
  canvas.fill(cells, CELL_FIELD);
  std::u16string heading = s->columns.empty() ? std::u16string() : s->columns.front().text;
  canvas.fill(CellRect{cells.left, cells.top, cells.right, cells.top + 1}, CELL_BAR);
  canvas.text(cells.left + (checkBoxes(*s) ? 4 : 0), cells.top, heading, cells.width(), CELL_BAR);
  const int lines = cells.height() - 1;
  for (int i = 0; i < lines; ++i) {
    const int index = s->top + i;
    if (!valid(*s, index))
      break;
    const ListItem &item = s->items[static_cast<std::size_t>(index)];
    const int row = cells.top + 1 + i;
    BYTE attr = CELL_FIELD;
    if ((item.state & LVIS_SELECTED) && showSelection)
      attr = focused ? CELL_FOCUS : CELL_SELECTED;
    canvas.fill(CellRect{cells.left, row, cells.right, row + 1}, attr);
    int col = cells.left;
    if (checkBoxes(*s)) {
      const bool ticked = ((item.state & LVIS_STATEIMAGEMASK) >> 12) == 2;
      canvas.text(col, row, ticked ? u"[x] " : u"[ ] ", cells.width(), attr);
      col += 4;
    }
    canvas.text(col, row, item.text, cells.right - col, attr);
  }
}

} // namespace

void registerListViewClass()
{
  registerSystemClass(WC_LISTVIEWW, listProc, sizeof(LONG_PTR), paintList);
}

BOOL InitCommonControls()
{
  return TRUE;
}
