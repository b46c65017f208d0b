// The edit control: one line of text that scrolls sideways as the caret
// moves (every edit here auto-scrolls horizontally). EN_CHANGE after each
// change the user makes; EN_SETFOCUS and EN_KILLFOCUS.
#include "platform/window/control_support.h"
#include "platform/window/window_internal.h"

namespace {

struct EditState {
  EditLine line; // the text and caret
};

LRESULT editProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  EditState *s = controlLifetime<EditState>(hwnd, message);
  if (!s)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
  case WM_NCCREATE: {
    const auto *cs = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
      s->line.set(cs->lpszName);
    return TRUE;
  }
  case WM_SETTEXT:
    s->line.set(lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"");
    markScreenDirty();
    return TRUE;
  case WM_GETTEXT: {
    auto *buffer = reinterpret_cast<LPWSTR>(lParam);
    if (!buffer || wParam == 0)
      return 0;
    std::size_t n = std::min<std::size_t>(s->line.text.size(), wParam - 1);
    s->line.text.copy(buffer, n);
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
  }
  case WM_GETTEXTLENGTH:
    return static_cast<LRESULT>(s->line.text.size());
  case EM_LIMITTEXT:
    s->line.limit = wParam ? wParam : EDIT_DEFAULT_LIMIT;
    return 0;
  case EM_GETSEL: {
    const std::size_t start = s->line.selectionStart(), end = s->line.selectionEnd();
    if (wParam)
      *reinterpret_cast<DWORD *>(wParam) = static_cast<DWORD>(start);
    if (lParam)
      *reinterpret_cast<DWORD *>(lParam) = static_cast<DWORD>(end);
    // Positions past 65535 do not fit the words of the answer.
    return end > 0xFFFF ? -1 : static_cast<LRESULT>(end << 16 | start);
  }
  case EM_SETSEL:
    s->line.select(static_cast<LONG_PTR>(static_cast<int>(wParam)), lParam);
    markScreenDirty();
    return 0;
  case WM_KEYDOWN: {
    bool handled;
    bool changed = s->line.key(wParam, &handled);
    markScreenDirty();
    if (changed)
      notifyCommand(hwnd, EN_CHANGE);
    return 0;
  }
  case WM_CHAR:
    if (s->line.character(static_cast<WCHAR>(wParam))) {
      markScreenDirty();
      notifyCommand(hwnd, EN_CHANGE);
    }
    return 0;
  case WM_LBUTTONDOWN:
    SetFocus(hwnd);
    return 0;
  case WM_SETFOCUS:
    notifyCommand(hwnd, EN_SETFOCUS);
    return 0;
  case WM_KILLFOCUS:
    notifyCommand(hwnd, EN_KILLFOCUS);
    return 0;
  case WM_GETDLGCODE:
    return DLGC_WANTCHARS | DLGC_HASSETSEL | (wParam == VK_LEFT || wParam == VK_RIGHT ? DLGC_WANTARROWS : 0);
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintEdit(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  EditState *s = controlState<EditState>(hwnd);
  if (!s)
    return;
  s->line.paint(canvas, cells.left, cells.top, cells.width(), controlAttr(hwnd, CELL_FIELD),
                GetFocus() == hwnd);
}

} // namespace

void registerEditClass()
{
  registerSystemClass(WC_EDITW, editProc, sizeof(LONG_PTR), paintEdit);
}
