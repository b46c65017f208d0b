// The rule editor dialog (template 104).
#pragma once

#include "platform/base/types.h"

// Runs the rule editor modal over editedRule (app/rule_editor_call.h), owned
// by owner: 1 after OK (the rule has been written back), 0 after Cancel or a
// close request, -1 when it cannot be shown. The editor is not built yet: it
// reports -1, which every caller treats as a cancel.
INT_PTR runRuleEditorDialog(HWND owner);
