// The actions of the rule that won for a message, in five fixed stages:
// download handling, waiting for the download, marking as read, moving or
// deleting, starting a program. A sound may accompany the stages that change
// something. The stages update the record's status and flags in memory and
// write them to the message; whether the message left the Inbox is reported
// in `gone`.
#pragma once

#include "engine/decision_log.h"
#include "engine/mapi_refs.h"
#include "engine/store_watcher.h"
#include "rules/message_info.h"
#include "rules/rule.h"

// A message's sound plays at most once in this many milliseconds.
inline constexpr DWORD SOUND_INTERVAL_MS = 10000;

// What one evaluation's actions work on.
struct ActionContext {
  StoreWatcher *watcher;           // the store's watcher (its store)
  LPMAPIFOLDER folder;             // the open folder that holds the message
  MessageInfo *record;             // the message's record; the caller holds its in-progress entry
  const Rule *rule;                // the winning rule
  DWORD now;                       // tick count read once for this evaluation
  ComRef<IMessage> actionObject{}; // the message, opened at the first stage that needs it
  bool gone = false;               // the message was moved or deleted, or a move was refused
  DecisionNotes *notes = nullptr;  // what the actions did, for the decision log; null when it is off
};

// Runs the stages for ctx:
//  1. download: with the rule's download and a partial message within the
//     size limit that is not marked yet, marks it for download (clearing the
//     other download-state bits), makes it unread and forgets its read age;
//     without download, withdraws the mark of a partial message;
//  2. a download requested and not complete ends the actions here;
//  3. mark as read when the rule asks and the message is unread;
//  4. move to the folder found or created by name (a refused move shows "Cannot
//     copy the message." and waits until it is closed), counting the sender
//     once toward the known users; or delete (a move to the deleted-items
//     folder), never while the message is marked for download;
//  5. start the rule's program, at every evaluation.
// The sound plays before the download request, the move or delete and the
// program start, when more than SOUND_INTERVAL_MS passed since the last one
// for this message. The record takes a written value only when the store
// took it, so that a refused write is tried again at the next evaluation. A
// message that cannot be opened skips the writing steps. Exceptions raised by
// store calls pass through to the caller.
void runRuleActions(ActionContext *ctx);
