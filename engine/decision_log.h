// The opt-in decision log: for each evaluation whose winning rule did or
// tried something, one line on standard error (which a service manager's
// journal collects) with the message (store, sender, subject), the winning
// rule's number and description, and each action done or refused. Switched
// on by QUILLMARSH_LOG=decisions in the program's environment; when it is
// off the processing pass only tests decisionLogOn once per evaluation.
#pragma once

#include "platform/base/types.h"
#include "rules/message_info.h"
#include "rules/rule.h"

#include <cstddef>
#include <string>

// The environment variable, and the value that switches the log on.
inline constexpr const char *DECISION_LOG_VARIABLE = "QUILLMARSH_LOG";
inline constexpr const char *DECISION_LOG_VALUE = "decisions";

// True while the log is on. Set by readDecisionLogSetting at start-up,
// before the first pass; read by the passes on every thread.
extern bool decisionLogOn;

// Sets decisionLogOn from the environment.
void readDecisionLogSetting();

// What one evaluation's actions did, as short phrases ("moved to Archive",
// "move to Archive refused by the store").
struct DecisionNotes {
  std::string text; // the phrases so far, joined by "; "
  void add(const std::string &phrase);
  void add(const char *phrase, const WCHAR *what); // phrase followed by a space and what
};

// The message as it was when the evaluation began, before matching
// lower-cased its texts. Taken at every evaluation while the log is on, so
// it holds the record's fixed buffers, not heap copies.
struct DecisionMessage {
  WCHAR sender[MESSAGE_TEXT_CHARS];  // the sender's address, else the name
  WCHAR subject[MESSAGE_TEXT_CHARS]; // the subject
};

// Takes the message's texts for the log line.
DecisionMessage decisionMessageOf(const MessageInfo *m);

// Writes one line: store, sender, subject, "rule N (description)" and the
// notes. Lines of several threads never mix.
void logDecision(const WCHAR *storeName, const DecisionMessage &message, std::size_t position, const Rule *rule,
                 const DecisionNotes &notes);
