#include "app/rule_editor_call.h"

Rule *editedRule = nullptr;

namespace {

// The rule editor dialog is not built in yet: it cannot be shown, which its
// callers take as Cancel.
INT_PTR ruleEditorUnavailable(HWND) { return -1; }

RuleEditorRunner ruleEditorRunner = ruleEditorUnavailable; // what runRuleEditor calls

} // namespace

void setRuleEditorRunner(RuleEditorRunner runner)
{
  ruleEditorRunner = runner ? runner : ruleEditorUnavailable;
}

INT_PTR runRuleEditor(HWND owner) { return ruleEditorRunner(owner); }
