// The rule list: one ordered, singly linked list of heap records that owns
// them. Its order is the order of creation, of the rules file, of the rules
// list dialog and of scoring. It has no lock: it is changed only on the main
// window's thread; processing passes read it.
#pragma once

#include "rules/rule.h"

#include <cstddef>
#include <cstdint>

// Head of the rule list (the `RuleList`), null when there are no rules.
extern Rule *ruleList;

// 1 after a change of the list or of a rule that the rules file lacks; the
// dialogs and the command channel set it, saveRulesFile clears it once the
// file holds the list.
extern BYTE rulesDirty;

// A new, zero-filled rule, owned by the caller until appended.
Rule *newRule();

// Frees a rule that is not (or no longer) in the list.
void freeRule(Rule *rule);

// Frees every rule of the list and empties it.
void clearRules();

// Links a rule at the tail of the list (its `next` becomes null); the list
// owns it from then on.
void appendRule(Rule *rule);

// Unlinks the given record (found by identity) and frees it. False, and
// nothing freed, when it is not in the list.
bool removeRule(Rule *rule);

// Rules in the list.
std::size_t countRules();

// A 64-bit hash of the list as it is now: every rule's record (its file
// bytes, the units after the terminators included), in list order. Equal
// lists give equal numbers; a change of any rule, of the order or of the
// number of rules gives another one, but for a rare coincidence. For
// telling whether the list changed without a hook in every place that
// changes it.
std::uint64_t ruleListFingerprint();

// Moves a rule of the list (found by identity) so that it becomes the
// position-th (0-based; a position past the end makes it the last). The
// record stays the same. False, and nothing moved, when it is not in the list.
bool moveRule(Rule *rule, std::size_t position);

// Appends the three rules a device starts with when it has no rules file:
// download once read; download from known users; and, disabled, move read
// mail older than a minute to the folder archiveName (the text of string
// 40019, "Archive", cut to 127 characters). Does not set rulesDirty, so no
// rules file is written until the user changes a rule.
void appendDefaultRules(const WCHAR *archiveName);
