// How the main window opens the rules list. The dialogs live in ui/, above
// app/ (they use the main window and the program state), so app/ cannot call
// them by name: the program's entry point fills this table with ui's openers
// before start-up (installDialogOpeners, ui/dialogs.h); the rule editor is
// reached the same way through runRuleEditor (app/rule_editor_call.h). An
// empty entry behaves as a dialog that cannot be created: -1.
#pragma once

#include "platform/base/types.h"

struct DialogOpeners {
  // The rules list (template 103), modal, no owner: 1 after Hide, Done or a
  // close request, 0 after Exit, -1 when it cannot be shown.
  INT_PTR (*rulesList)();
};

// The openers in use; null until the program installs them.
extern DialogOpeners dialogOpeners;
