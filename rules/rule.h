// The rule record. Its first 2064 bytes are, byte for byte, the record of the
// rules file and of the backup file: the field offsets below are the file
// offsets, integers little-endian, texts UTF-16LE in fixed 128-unit buffers.
#pragma once

#include "platform/base/types.h"

#include <bit>
#include <cstddef>

// Units of every text buffer of a rule: at most 127 characters and a terminator.
constexpr std::size_t RULE_TEXT_CHARS = 128;
// Bytes of one rule on file: the record without its link.
constexpr std::size_t RULE_FILE_RECORD_SIZE = 2064;
// Bytes of one record of the older, header-less rules file.
constexpr std::size_t LEGACY_RULE_RECORD_SIZE = 1564;

// Stored value of `moveTo` that means "delete the message", whatever the
// language of the user interface.
inline constexpr WCHAR DELETE_MARKER[] = u">> DELETE <<";
// Stored value of `from` that means "the sender is a known user".
inline constexpr WCHAR KNOWN_USERS_MARKER[] = u">> Known users <<";

// One rule. An empty text (first unit 0) means the condition or action is
// absent; units after a terminator are kept and written as they are.
struct Rule {
  BYTE enabled;                      // nonzero: the rule takes part in processing
  BYTE reserved1;                    // zero in records the program creates
  WCHAR mailbox[RULE_TEXT_CHARS];    // display name of the one store it applies to; empty: any
  WCHAR from[RULE_TEXT_CHARS];       // sender words, or KNOWN_USERS_MARKER
  WCHAR to[RULE_TEXT_CHARS];         // words of the To line, or all of the CC line
  WCHAR subject[RULE_TEXT_CHARS];    // subject words
  WCHAR body[RULE_TEXT_CHARS];       // body condition; no dialog sets it; non-empty never matches
  BYTE reserved2[2];                 // zero in records the program creates
  LONG sizeLimit;                    // -n: at most n bytes; n: at least n bytes; 0: no condition
  LONG olderThan;                    // age condition in minutes; 0: none
  BYTE isRead;                       // nonzero: the message must have been read
  BYTE hasAttach;                    // nonzero: the message must have attachments
  WCHAR moveTo[RULE_TEXT_CHARS];     // target folder's name, DELETE_MARKER, or empty: no move
  WCHAR playSound[RULE_TEXT_CHARS];  // sound file to play; empty: none
  WCHAR execute[RULE_TEXT_CHARS];    // program to start; empty: none
  BYTE download;                     // nonzero: have the full message downloaded
  BYTE markAsRead;                   // nonzero: mark the message as read
  Rule *next;                        // next rule of the list, null at the tail; never on file
};

// Bytes of a rule in memory (the file record plus the link, padded).
constexpr std::size_t RULE_RECORD_SIZE = sizeof(Rule);

// The record is written and read as its own first 2064 bytes, so the layout
// must be exactly the file's.
static_assert(std::endian::native == std::endian::little, "rule records are little-endian on file");
static_assert(offsetof(Rule, enabled) == 0);
static_assert(offsetof(Rule, reserved1) == 1);
static_assert(offsetof(Rule, mailbox) == 2);
static_assert(offsetof(Rule, from) == 258);
static_assert(offsetof(Rule, to) == 514);
static_assert(offsetof(Rule, subject) == 770);
static_assert(offsetof(Rule, body) == 1026);
static_assert(offsetof(Rule, reserved2) == 1282);
static_assert(offsetof(Rule, sizeLimit) == 1284);
static_assert(offsetof(Rule, olderThan) == 1288);
static_assert(offsetof(Rule, isRead) == 1292);
static_assert(offsetof(Rule, hasAttach) == 1293);
static_assert(offsetof(Rule, moveTo) == 1294);
static_assert(offsetof(Rule, playSound) == 1550);
static_assert(offsetof(Rule, execute) == 1806);
static_assert(offsetof(Rule, download) == 2062);
static_assert(offsetof(Rule, markAsRead) == 2063);
static_assert(offsetof(Rule, next) == RULE_FILE_RECORD_SIZE);
static_assert(sizeof(LONG) == 4 && sizeof(WCHAR) == 2);

// Makes sure every text buffer of the rule is terminated within its 128
// units: a text that fills its whole buffer (only a damaged file holds one)
// keeps its first 127 characters. Texts that are terminated stay untouched,
// the units after their terminators included.
void terminateRuleTexts(Rule *rule);
