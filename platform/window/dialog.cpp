// Modal dialogs run on the display; one that cannot create them reports -1.
#include "platform/window/display.h"

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
  auto run = currentDisplay().pDialogBox;
  if (!run)
    return -1;
  return run(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam);
}
