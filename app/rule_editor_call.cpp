#include "app/rule_editor_call.h"

Rule *editedRule = nullptr;

namespace {

// Until the program installs the rule editor dialog (ui/dialogs.h), the
// editor cannot be shown, which its callers take as Cancel.
INT_PTR ruleEditorUnavailable(HWND) { return -1; }

RuleEditorRunner ruleEditorRunner = ruleEditorUnavailable; // what runRuleEditor calls

} // namespace

void setRuleEditorRunner(RuleEditorRunner runner)
{
  ruleEditorRunner = runner ? runner : ruleEditorUnavailable;
}

INT_PTR runRuleEditor(HWND owner) { return ruleEditorRunner(owner); }
