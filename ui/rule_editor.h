// The rule editor dialog (template 104).
#pragma once

#include "platform/base/types.h"
#include "rules/rule.h"

// Runs the rule editor modal over editedRule (app/rule_editor_call.h), owned
// by owner: 1 after OK (the rule has been written back), 0 after Cancel or a
// close request, -1 when it cannot be shown. The dialog keeps the rule it
// was opened with: its OK writes that rule only, whatever editedRule holds
// by then (an editor opened above it sets editedRule to its own rule).
INT_PTR runRuleEditorDialog(HWND owner);

// Edits a rule of the list through runRuleEditor, on a copy: OK writes the
// copy back only when the list still holds that record, unchanged since the
// editor opened (an import meanwhile replaces every rule). 1 when written.
INT_PTR editListedRule(HWND owner, Rule *rule);
