#include "ui/settings_dialog.h"

INT_PTR openSettingsDialog(HWND)
{
  return -1;
}
