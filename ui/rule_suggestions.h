// The rule editor's suggestion lists: the addresses and subjects of the
// messages in each store's Inbox and the store's folder names, offered in
// the sender, recipient, subject and target-folder boxes.
#pragma once

#include "platform/base/types.h"

// Rebuilds the suggestion lists of the editor's boxes 1105, 1107, 1109 and
// 1120 for the mailbox chosen in 1103 (every store when item 0 or nothing
// is chosen), keeping the texts typed into the four boxes. ">> Known users
// <<" leads the sender list; "Archive" leads and ">> DELETE <<" ends the
// folder list, also when the stores cannot be read.
void fillRuleSuggestions(HWND editor);
