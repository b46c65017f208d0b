#include "ui/dialogs.h"

#include "app/dialog_openers.h"
#include "app/rule_editor_call.h"
#include "ui/rule_editor.h"
#include "ui/rules_list_dialog.h"

void installDialogOpeners()
{
  dialogOpeners.rulesList = openRulesList;
  setRuleEditorRunner(runRuleEditorDialog);
}
