#include "ui/layout.h"

#include "platform/window/aygshell.h"
#include "platform/window/dialog.h"
#include "platform/window/window.h"
#include "services/resources.h"

namespace {

RECT rectOf(HWND window)
{
  RECT r{0, 0, 0, 0};
  GetWindowRect(window, &r);
  return r;
}

// Rules 2 and 3 of placing: negative sizes count from the dialog's far edge,
// 0 keeps the control's own size.
void resolveSize(const RECT &d, const RECT &c, int *width, int *height)
{
  if (*width < 0)
    *width = (d.right - c.left + 1) + *width;
  else if (*width == 0)
    *width = c.right - c.left + 1;
  if (*height < 0)
    *height = (d.bottom - c.top + 1) + *height;
  else if (*height == 0)
    *height = c.bottom - c.top + 1;
}

} // namespace

int windowTop(HWND window)
{
  return rectOf(window).top;
}

int windowBottom(HWND window)
{
  return rectOf(window).bottom;
}

int windowWidth(HWND window)
{
  RECT r = rectOf(window);
  return r.right - r.left + 1;
}

int windowHeight(HWND window)
{
  RECT r = rectOf(window);
  return r.bottom - r.top + 1;
}

int controlTopOffset(HWND dialog, int controlId)
{
  return rectOf(GetDlgItem(dialog, controlId)).top - rectOf(dialog).top - 1;
}

int controlBottom(HWND dialog, int controlId)
{
  return rectOf(GetDlgItem(dialog, controlId)).bottom;
}

int controlWidth(HWND dialog, int controlId)
{
  return windowWidth(GetDlgItem(dialog, controlId));
}

int controlHeight(HWND dialog, int controlId)
{
  return windowHeight(GetDlgItem(dialog, controlId));
}

void placeControl(HWND dialog, int controlId, int x, int y, int width, int height)
{
  HWND control = GetDlgItem(dialog, controlId);
  RECT d = rectOf(dialog);
  RECT c = rectOf(control);
  if (x < 0)
    x = (d.right - d.left + 1) + x;
  if (y < 0)
    y = (d.bottom - d.top + 1) + y;
  resolveSize(d, c, &width, &height);
  MoveWindow(control, x, y, width - 1, height - 1, TRUE);
}

void resizeControl(HWND dialog, int controlId, int width, int height)
{
  HWND control = GetDlgItem(dialog, controlId);
  RECT d = rectOf(dialog);
  RECT c = rectOf(control);
  resolveSize(d, c, &width, &height);
  MoveWindow(control, c.left - d.left - 1, c.top - d.top - 1, width - 1, height - 1, TRUE);
}

void showFullScreenDialog(HWND dialog, UINT menuId)
{
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  SetFocus(dialog);
  SHINITDLGINFO shell{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&shell);
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = dialog;
  bar.dwFlags = SHCMBF_HMENU;
  bar.nToolBarId = menuId;
  bar.hInstRes = resourceModule;
  SHCreateMenuBar(&bar);
  CreateWindowExW(0, SIPPREF_CLASS, u"", WS_CHILD, 0, 0, 0, 0, dialog, nullptr, resourceModule, nullptr);
}
