// The Inbox messages of every store, as the host's mail list shows them:
// read through the messaging library's published calls (the stores table,
// each store's receive folder, its contents table), newest first.
#pragma once

#include "platform/mapi/mapix.h"
#include "platform/mapi/provider.h"

#include <string>
#include <vector>

struct InboxMessage {
  std::u16string store;   // the store's display name
  MapiEntryBytes folder;  // the entry id of the store's Inbox
  MapiEntryBytes message; // the message's entry id
  std::u16string sender;  // the sender's name, else the address
  std::u16string subject; // the subject
  ULONGLONG delivered = 0; // delivery time as a file time; 0 when unknown
  bool read = false;       // MSGFLAG_READ
  bool headerOnly = false; // only the header is in the store (MSGSTATUS_HEADERONLY)
};

// The Inbox messages of every store of the session, newest first (ties by
// store, then subject, so the order is stable). A store or folder that cannot
// be read is left out; `problems` (may be null) gets a line for each.
std::vector<InboxMessage> readInboxMessages(IMAPISession *session, std::vector<std::string> *problems);

// The entry ids of the session's stores; empty when there is none yet (the
// program makes its store when it first starts) or they cannot be listed.
std::vector<MapiEntryBytes> storeIds(IMAPISession *session);

// How many stores the messages come from.
std::size_t storeCount(const std::vector<InboxMessage> &messages);

// One message as a line of `columns` characters: two marks ("*" unread,
// then "H" when only its header is in the store), the sender (with
// the store's name in brackets before it when `withStore`), the subject and
// the delivery date in local time ("08 Dec 10:00"). Texts that do not fit
// are cut; control characters become "?".
std::u16string messageLine(const InboxMessage &m, int columns, bool withStore);

// The heading over those lines.
std::u16string headingLine(int columns);
