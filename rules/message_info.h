// The mail engine's record of one message in a store's Inbox: what rule
// matching and the rule actions need of it, read once from the store so
// that the message can be evaluated again and again without reopening it.
#pragma once

#include "platform/base/types.h"

#include <cstddef>
#include <cstdint>

// Units of every text buffer of the record: at most 127 characters and a terminator.
constexpr std::size_t MESSAGE_TEXT_CHARS = 128;

// One message. A text that could not be read is empty, a number 0. Rule
// matching lower-cases the texts in place.
struct MessageInfo {
  std::uint32_t entryIdSize;                 // bytes of entryId
  BYTE *entryId;                             // heap copy of the entry id, owned; with entryIdSize the key
  WCHAR senderName[MESSAGE_TEXT_CHARS];      // PR_SENDER_NAME
  WCHAR senderAddress[MESSAGE_TEXT_CHARS];   // PR_SENDER_EMAIL_ADDRESS, reduced to the bare address
  WCHAR toLine[MESSAGE_TEXT_CHARS];          // PR_DISPLAY_TO reduced, or the transport header's To
  WCHAR ccLine[MESSAGE_TEXT_CHARS];          // PR_DISPLAY_CC reduced, or the transport header's CC
  WCHAR messageSubject[MESSAGE_TEXT_CHARS];  // PR_SUBJECT
  std::int32_t size;                         // message size in bytes (property 0x81110003)
  std::uint32_t status;                      // PR_MSG_STATUS as last read or written
  std::uint32_t messageFlags;                // PR_MESSAGE_FLAGS as last read or written (0x1: read)
  std::int32_t ageMinutes;                   // whole minutes from delivery to the record's creation
  std::uint8_t hasAttachments;               // 1 when PR_HASATTACH is exactly 1
  std::uint8_t headersParsed;                // the recipients are complete (from the store or the headers)
  std::uint32_t lastSeen;                    // tick count of the last lookup or revisit
  std::uint32_t lastSoundTick;               // tick count of the last sound played for it; 0 at creation
};

// A new zero-filled record holding a copy of the entry id (entryIdSize bytes
// at entryId; none when the size is 0). Null when memory runs out.
MessageInfo *newMessageInfo(std::uint32_t entryIdSize, const BYTE *entryId);

// Frees a record and its entry id; null is ignored.
void freeMessageInfo(MessageInfo *info);

// True when the record stands for the message with this entry id: equal
// sizes and equal bytes.
bool hasEntryId(const MessageInfo *info, std::uint32_t entryIdSize, const BYTE *entryId);

// Copies text (null counts as empty) into one of the record's text fields,
// cut to its first 127 units, without splitting a surrogate pair.
void setMessageText(WCHAR (&field)[MESSAGE_TEXT_CHARS], const WCHAR *text);
