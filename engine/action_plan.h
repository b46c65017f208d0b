// What the winning rule's actions will do to a message, decided from the
// record and the rule alone: the tests that the action stages (actions.h)
// make, and the whole sequence told in advance for the rules tool's
// explanation. The stages and the plan use the same tests.
#pragma once

#include "rules/message_info.h"
#include "rules/rule.h"

#include <vector>

// The message is not yet completely in the store (header only, or part).
bool isPartial(const MessageInfo *m);
// The message is marked for download.
bool isMarkedForDownload(const MessageInfo *m);
// The message has been read.
bool isReadMessage(const MessageInfo *m);
// The message is within maxDownloadKB (0 or less: no limit).
bool withinSizeLimit(const MessageInfo *m);

// Stage 1 marks the message for download: the rule downloads, and the
// message is partial, within the limit and not yet marked.
bool requestsDownload(const MessageInfo *m, const Rule *rule);
// Stage 1 withdraws the mark: the rule does not download, and the message is
// marked and partial.
bool withdrawsDownload(const MessageInfo *m, const Rule *rule);
// Stage 2 ends the actions: the rule downloads, and the message is within
// the limit and still partial.
bool waitsForDownload(const MessageInfo *m, const Rule *rule);

// One step of a plan.
enum class PlannedStep {
  PlaySound,        // the rule's sound (text: the file), before the first stage that sounds
  RequestDownload,  // mark for download (and make unread)
  WithdrawDownload, // take the download mark away
  WaitForDownload,  // the later stages wait until the download is complete
  MarkRead,         // mark as read
  Move,             // move (text: the folder), made when missing
  Delete,           // move to the deleted-items folder
  DeleteHeld,       // no delete while the message is marked for download
  Execute,          // start the program (text: the file)
};

struct PlannedAction {
  PlannedStep step;   // what
  const WCHAR *text;  // the rule's folder, sound or program text, else null
};

// The steps the actions would take now for this message and rule, in
// order, when every write is taken and every folder found or made. The
// sound stands before the first stage that sounds (download request, move or
// delete, program); whether it plays also depends on the last time it played
// for this message (at most every SOUND_INTERVAL_MS), which the plan leaves
// out. Empty: nothing to do.
std::vector<PlannedAction> planRuleActions(const MessageInfo *m, const Rule *rule);
