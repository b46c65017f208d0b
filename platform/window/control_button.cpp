// The button: push button and check box (automatic or not). Space, Enter
// or a tap clicks it: an automatic check box toggles, and the parent gets
// BN_CLICKED; with BS_NOTIFY also BN_SETFOCUS and BN_KILLFOCUS.
#include "platform/window/control_support.h"
#include "platform/window/window_internal.h"

namespace {

struct ButtonState {
  UINT check = BST_UNCHECKED; // check box state
};

DWORD buttonType(HWND hwnd)
{
  return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

void click(HWND hwnd, ButtonState *s)
{
  if (buttonType(hwnd) == BS_AUTOCHECKBOX) {
    s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    markScreenDirty();
  }
  notifyCommand(hwnd, BN_CLICKED);
}

LRESULT buttonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  ButtonState *s = controlLifetime<ButtonState>(hwnd, message);
  if (!s)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  const bool notify = (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY) != 0;
  switch (message) {
  case BM_GETCHECK:
    return s->check;
  case BM_SETCHECK:
    s->check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
    markScreenDirty();
    return 0;
  case BM_CLICK:
    click(hwnd, s);
    return 0;
  case WM_KEYDOWN:
    if (wParam == VK_SPACE || wParam == VK_RETURN)
      click(hwnd, s);
    return 0;
  case WM_LBUTTONDOWN:
    SetFocus(hwnd);
    return 0;
  case WM_LBUTTONUP:
    click(hwnd, s);
    return 0;
  case WM_SETFOCUS:
    if (notify)
      notifyCommand(hwnd, BN_SETFOCUS);
    return 0;
  case WM_KILLFOCUS:
    if (notify)
      notifyCommand(hwnd, BN_KILLFOCUS);
    return 0;
  case WM_GETDLGCODE:
    return DLGC_BUTTON | (wParam == VK_RETURN ? DLGC_WANTALLKEYS : 0);
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void paintButton(HWND hwnd, Canvas &canvas, const CellRect &cells)
{
  ButtonState *s = controlState<ButtonState>(hwnd);
  const DWORD type = buttonType(hwnd);
  const std::u16string text = windowText(hwnd);
  const BYTE attr = controlAttr(hwnd, CELL_PLAIN);
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
    const bool checked = s && s->check == BST_CHECKED;
    canvas.text(cells.left, cells.top, checked ? u"[x] " : u"[ ] ", cells.width(), attr);
    canvas.text(cells.left + 4, cells.top, text, cells.width() - 4, attr);
    return;
  }
  std::u16string face = u"[" + text + u"]";
  int col = cells.left + std::max(0, (cells.width() - static_cast<int>(face.size())) / 2);
  canvas.text(col, cells.top, face, cells.right - col, attr);
}

} // namespace

void registerButtonClass()
{
  registerSystemClass(WC_BUTTONW, buttonProc, sizeof(LONG_PTR), paintButton);
}
