#include "app/commands.h"

#include "app/program_state.h"
#include "app/rule_editor_call.h"
#include "engine/address.h"
#include "engine/props.h"
#include "platform/text/wstr.h"
#include "platform/window/dialog.h"
#include "platform/window/window.h"
#include "rules/rule_list.h"
#include "rules/rule_list_view.h"
#include "ui/resources/resource_ids.h"

namespace {

// The windows the user worked in before the editor came up.
struct RecordedWindows {
  HWND foreground; // the foreground window
  HWND active;     // the active window
  HWND focus;      // the window with the keyboard focus
};

RecordedWindows recordWindows() { return {GetForegroundWindow(), GetActiveWindow(), GetFocus()}; }

void restoreWindows(const RecordedWindows &windows)
{
  SetForegroundWindow(windows.foreground);
  SetActiveWindow(windows.active);
  SetFocus(windows.focus);
}

// Fills a zero-filled rule from the message. A property that cannot be read
// leaves its field empty.
void fillRuleFromMessage(Rule *rule, IMessage *message)
{
  rule->enabled = 1;
  if (getString(message, PR_SENDER_EMAIL_ADDRESS, rule->from, RULE_TEXT_CHARS))
    stripToAddress(rule->from);
  (void)getString(message, PR_SUBJECT, rule->subject, RULE_TEXT_CHARS);
  if (getRecipients(message, rule->to, nullptr, RULE_TEXT_CHARS))
    stripToAddress(rule->to);
  rule->hasAttach = getBool(message, PR_HASATTACH) ? 1 : 0;
  // The literal name, not the translated "Archive" of the string table: the
  // rule is stored and shared in this form whatever the language.
  wstrCopy(rule->moveTo, RULE_TEXT_CHARS, u"Archive");
  rule->download = 1;
}

} // namespace

void createFilterFromMessage(IMessage *message)
{
  Rule *rule = newRule();
  fillRuleFromMessage(rule, message);

  RecordedWindows windows = recordWindows();
  // An editor that is open already (from the rules list, or an earlier
  // command) keeps its own rule: the new one is edited above it and the
  // pointer is put back when this editor has ended.
  Rule *outerRule = editedRule;
  editedRule = rule;
  INT_PTR result = runRuleEditor(mainWindow);
  editedRule = outerRule;

  if (result == 1) {
    appendRule(rule);
    if (rulesListDialog)
      fillRuleListView(GetDlgItem(rulesListDialog, IDC_RULES));
    rulesDirty = 1;
    // A pass with the new rule at once; the tick saves the rules file.
    PostMessageW(mainWindow, WM_TIMER, 0, 0);
  } else {
    freeRule(rule);
  }
  restoreWindows(windows);
}
