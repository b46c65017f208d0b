// The rules tool's explanation: for each Inbox message, every rule as the
// processing pass scores it, the conditions that held and the first that
// failed, the winner and the actions its stages would take now. Built from
// the program's own record reading, rule choice, matching and action tests;
// reads the stores and the data files and changes nothing.
#pragma once

#include "rules/match.h"
#include "rules/message_info.h"
#include "rules/rule.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// One rule as the choice saw it. It refers to the rule and to its line
// (made once per explanation), which stay as they are while the messages
// are handed out; the conditions are put in words only by the output.
struct RuleResult {
  const Rule *rule = nullptr;              // the rule
  const std::string *description = nullptr; // the rules list's line
  std::size_t position = 0;                // its number, from 1
  bool enabled = false;                    // its enabled state
  const char *skipped = "";                // "", "disabled" or "other mailbox"
  int score = 0;                           // its score; 0 is no match
  MatchTrace trace;                        // the conditions tested, in order (none when skipped);
                                           // testing stops at the first failure
};

// One planned action.
struct ActionResult {
  std::string action; // "play sound", "request download", "withdraw download", "wait for download",
                      // "mark read", "move", "delete", "delete held", "execute"
  std::string target; // the folder, sound or program; else empty
};

// One message.
struct MessageResult {
  MessageInfo original{};        // the record before matching lower-cased its texts (its entry id is
                                 // not kept: entryId is null)
  std::string ref;               // STORE/FOLDER/NAME as qm-store prints it
  std::string store;             // the store's name
  std::string sender;            // the sender's address as the record holds it
  std::string senderName;        // the sender's name
  std::string subject;           // the subject
  std::int32_t size = 0;         // bytes
  bool read = false;             // the read flag
  bool partial = false;          // not yet completely in the store
  bool marked = false;           // marked for download
  std::string note;              // why the program would not look at it (not in an Inbox), else empty
  std::vector<RuleResult> rules; // every rule of the list, in order
  std::size_t winner = 0;        // the winning rule's number, 0 when none
  int score = 0;                 // the winner's score
  std::vector<ActionResult> actions; // what the winner's actions would do now
};

// Explains every Inbox message of every store (refs empty) or the messages
// named by refs (STORE/FOLDER/NAME, or entry ids in hex), with the rules,
// known users, contacts and download limit as the program would have them
// at start, handing each message to `each` as soon as it is explained. False
// with *error when a ref is bad or the stores cannot be opened (the messages
// before it have been handed over). The checkpoint marker must be suspended.
bool explainMessages(const std::vector<std::string> &refs, const std::function<void(const MessageResult &)> &each,
                     std::string *error);

// The explanation as text for a person: one message at a time.
void printExplanation(const MessageResult &message, std::ostream &out);

// A tested condition's name ("size", "read", "read-age", "age",
// "attachments", "from", "subject", "to", "body").
const char *conditionName(MatchStep step);

// What a tested condition compared, in words, from the rule and the message
// as they were before matching.
std::string conditionDetail(const MatchTrace::Entry &entry, const RuleResult &rule, const MessageInfo &message);

// The explanation as one JSON document: the start, each message, the end.
// Each rule's line is escaped once, at its first use.
struct JsonExplanation {
  explicit JsonExplanation(std::ostream &out);
  void add(const MessageResult &message);
  void finish();

private:
  // A rule's line as a JSON string, and the line it was made from.
  struct EscapedLine {
    const std::string *source = nullptr;
    std::string json;
  };
  const std::string &escapedLine(const RuleResult &rule);

  std::ostream &out_;                // where it goes
  bool first_ = true;                // no message written yet
  std::vector<EscapedLine> lines_;   // by rule number - 1
};
