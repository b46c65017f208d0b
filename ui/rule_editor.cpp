#include "ui/rule_editor.h"

INT_PTR runRuleEditorDialog(HWND)
{
  return -1;
}
