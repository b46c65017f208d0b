// The rules list dialog (template 103): the program's main screen. One line
// per rule of the chosen mailbox with a check box that switches the rule on
// and off; New, Edit, Delete, About, Hide and Exit from the softkeys and the
// tap-and-hold menu. It changes the rule list and rulesDirty only; the main
// window's next tick saves.
#pragma once

#include "platform/base/types.h"

// Runs the dialog modal with no owner: 1 after Hide, Done or a close
// request, 0 after Exit (the program then ends), -1 when the display cannot
// show it. Sets rulesListDialog while it initialises.
INT_PTR openRulesList();
