// The rule block (a header, an optional count, 2064-byte records) and the
// rules file, which holds one block without a count. The backup file holds
// a block with a count, followed by other data.
#pragma once

#include "rules/rule_list.h"

#include <cstdio>

// The block's header: "Varn-1" in UTF-16LE with its terminator, 14 bytes.
inline constexpr WCHAR RULES_HEADER[] = u"Varn-1";
constexpr std::size_t RULES_HEADER_SIZE = sizeof(RULES_HEADER);
static_assert(RULES_HEADER_SIZE == 14);

// Reads one rule block at the file's current position and makes it the rule
// list (the old rules are freed first). After a "Varn-1" header come, with
// withCount, an int32 count (negative: no limit), then whole records until
// the count, the end of the file or a cut record, whichever comes first; the
// file is left just behind the last whole record read. Without the header the
// data is read from where it started as legacy records to the end of the
// file. A cut record at the end is dropped; a text without a terminator keeps
// 127 characters. At most MAX_RULES_READ records are read. Does not touch
// rulesDirty. False when the block was damaged: a record was cut, or records
// were left unread.
bool loadRules(FILE *file, bool withCount);

// The most rules a block gives (about 8 MB of records): a file that holds
// more is damaged, and what follows is not read.
constexpr std::size_t MAX_RULES_READ = 4096;

// Writes the rule list as one block at the file's current position: the
// header, with withCount the int32 number of rules, then each rule's 2064
// file bytes in list order. Write errors show in the file's error flag.
void saveRules(FILE *file, bool withCount);

// Loads the rules file. False, with nothing changed, when it cannot be
// opened (also when it is not a regular file, or a link); true otherwise,
// whatever it holds (an empty file gives no rules). A damaged file is kept
// as "Brindlewick.dat.damaged" before the next save replaces it.
bool loadRulesFile();

// Writes the rule list to the rules file when rulesDirty is set or force is
// true. The file is replaced atomically: a failure leaves the old file whole.
// rulesDirty is cleared when the file was written and set when it could not
// be, so that the next timer tick tries again. Returns false when a save was
// due and failed.
bool saveRulesFile(bool force);
