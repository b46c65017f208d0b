// The one-line description of a rule that the rules list shows, built from
// the string table so that it follows the language of the user interface:
// "Move to Archive where Older than 1 min and Read".
#pragma once

#include "rules/rule.h"

#include <cstddef>
#include <string>

// Units of the line's buffer: a description holds at most 1023 characters.
constexpr std::size_t RULE_DESCRIPTION_CHARS = 1024;

// The string-table texts a description is made of (%s takes a text, %d a number).
struct DescriptionTexts {
  const WCHAR *deleteAction;  // 40001 "Delete"
  const WCHAR *moveAction;    // 40002 "Move to %s"
  const WCHAR *joiner;        // 40003 "and"
  const WCHAR *soundAction;   // 40004 "Play sound"
  const WCHAR *execAction;    // 40005 "Exec"
  const WCHAR *downloadAction; // 40006 "Download"
  const WCHAR *markReadAction; // 40007 "Mark as read"
  const WCHAR *noAction;      // 40008 "Do nothing"
  const WCHAR *where;         // 40009 "where"
  const WCHAR *fromCondition; // 40014 "From=\"%s\""
  const WCHAR *knownUsers;    // 40021 ">> Known users <<"
  const WCHAR *toCondition;   // 40026 "To=\"%s\""
  const WCHAR *subjectCondition; // 40027 "Subj=\"%s\""
  const WCHAR *bodyCondition; // 40028 "Body=\"%s\""
  const WCHAR *smallerCondition; // 40029 "Smaller than %d K"
  const WCHAR *largerCondition;  // 40030 "Larger than %d K"
  const WCHAR *olderCondition;   // 40031 "Older than %d min"
  const WCHAR *readCondition;    // 40032 "Read"
  const WCHAR *attachCondition;  // 40033 "HasAttach"
};

// The texts from resourceModule, each loaded through loadString the first
// time it is needed and kept until exit.
DescriptionTexts descriptionTexts();

// The rule's line: its actions (or "Do nothing"), " where ", and its
// conditions, each pair joined by " and ". The mailbox and the enabled state
// never appear. A line longer than 1023 characters (only long translations
// make one) is cut to its first 1023, never inside a surrogate pair.
std::u16string describeRuleWith(const Rule *rule, const DescriptionTexts &texts);

// describeRuleWith with the string table's texts.
std::u16string describeRule(const Rule *rule);
