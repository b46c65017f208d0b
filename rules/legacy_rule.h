// The record of the older, header-less rules file (1564 bytes, no sound,
// program or mark-as-read; the move target chosen by an action kind).
#pragma once

#include "rules/rule.h"

// File offsets of the legacy record's fields (little-endian).
constexpr std::size_t LEGACY_ENABLED = 0;        // uint8
constexpr std::size_t LEGACY_MAILBOX = 2;        // then from, to, subject, body: 128 units each
constexpr std::size_t LEGACY_SIZE_LIMIT = 1284;  // int32
constexpr std::size_t LEGACY_OLDER_THAN = 1288;  // int32
constexpr std::size_t LEGACY_IS_READ = 1292;     // uint8
constexpr std::size_t LEGACY_HAS_ATTACH = 1293;  // uint8
constexpr std::size_t LEGACY_ACTION = 1296;      // int32: 1 move, 2 delete, else none
constexpr std::size_t LEGACY_MOVE_TARGET = 1300; // 128 units, used for action 1 only
constexpr std::size_t LEGACY_DOWNLOAD = 1556;    // uint8

// Legacy action kinds.
constexpr LONG LEGACY_ACTION_MOVE = 1;
constexpr LONG LEGACY_ACTION_DELETE = 2;

// Fills a zero-filled rule from one legacy record of LEGACY_RULE_RECORD_SIZE
// bytes. Texts are copied up to their terminators, at most 127 characters.
void convertLegacyRule(const BYTE *record, Rule *rule);
