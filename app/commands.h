// The command channel's commands, each on a message the channel has opened
// and releases afterwards. Main window's thread only.
#pragma once

#include "platform/base/types.h"
#include "platform/mapi/mapidefs.h"
#include "platform/mapi/mapitags.h"

#include <string>

// Code 1: a new rule from the message (enabled, any mailbox, its sender, To
// and subject, its attachment flag, moved to "Archive", downloaded) shown in
// the rule editor owned by mainWindow; after OK appended as the last rule,
// shown in an open rules list and processed at once; freed otherwise. The foreground, active and focus windows found before the
// editor are put back after it.
void createFilterFromMessage(IMessage *message);

// Codes 2 and 3: a new appointment (olAppointmentItem) or task (olTaskItem)
// through pimApplication, with the subject "sender name: subject" and the
// message's text as its body, saved and displayed. Nothing when there is no
// contacts application or its Logon fails.
void createItemFromMessage(IMessage *message, int itemType);

// The item subject of a message: its sender name, then ": " and its subject
// when both are there; either alone; empty without both. Up to 1023
// characters of each are read.
std::u16string itemSubjectOf(IMessage *message);

// The message's text as UTF-16: the lines after its Internet header, each
// followed by CR LF, converted from the header's charset. Empty when the
// message has no Internet text. A fault while reading ends the text where it
// happened.
std::u16string messageTextOf(IMessage *message);
