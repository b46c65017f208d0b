// How the command channel opens the rule editor for a rule made from a
// message. The editor works on `editedRule`; whoever opens it sets that first.
#pragma once

#include "platform/base/types.h"
#include "rules/rule.h"

// The rule the open rule editor works on; null while none is open.
extern Rule *editedRule;

// Runs the rule editor modal over editedRule, owned by owner. 1 when the user
// confirmed with OK (the rule then holds what was entered), 0 after Cancel,
// -1 when the editor cannot be shown.
using RuleEditorRunner = INT_PTR (*)(HWND owner);

// Sets how the rule editor is run; null puts back the built-in one.
void setRuleEditorRunner(RuleEditorRunner runner);

// Runs the rule editor as set (see RuleEditorRunner).
INT_PTR runRuleEditor(HWND owner);
