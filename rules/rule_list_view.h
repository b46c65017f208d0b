// Filling the rules list's list view from the rule list: one line per rule
// that fits the chosen mailbox, its description as text, its record as the
// line's data, its check box ticked when it is enabled.
#pragma once

#include "platform/base/types.h"
#include "rules/rule.h"

// The display name of the message store chosen in the rules list's mailbox
// box; empty for "<< Any Mailbox >>". Only rules of that store, and rules
// for any store, are listed; New gives it to a new rule. Main window's
// thread only.
extern WCHAR mailboxFilter[RULE_TEXT_CHARS];

// Set while the list view is being filled (and while the rules list
// initialises), so that the rules list ignores the item changes that filling
// causes and never changes a rule's `enabled` for them. Main window's thread
// only.
extern bool listUpdating;

// Rebuilds the list view from the rule list: every item is deleted and one
// is inserted per rule that fits `mailboxFilter` (an empty filter or an
// empty `mailbox` fits; otherwise an exact comparison), in list order, with
// contiguous indexes. The item at the previous selection mark's index is
// inserted selected, and the mark is set back afterwards. listUpdating is
// set meanwhile and restored to what it was.
void fillRuleListView(HWND listView);
