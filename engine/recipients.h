// Completing a message record's recipients from the message's transport
// headers, for messages whose store gives neither a To nor a CC line.
#pragma once

#include "platform/mapi/mapidefs.h"
#include "rules/message_info.h"

// When the record's toLine and ccLine are both empty and its headers have not
// been parsed: reads the header section of the message's transport headers
// (PR_CE_MIME_TEXT as a stream, up to the first empty line) and fills toLine
// from the first "To: " line and ccLine from the first "CC: " line (names
// compared without regard to case), each decoded, reduced to its bare
// address and cut to 127 units. message is the open message, or null to open
// it here by the record's entry id through the session. Sets headersParsed
// when the recipients are complete: at once when either line already holds
// text, else once the header section was read to its end, or when the
// message has no transport headers (MAPI_E_NOT_FOUND: absent, not failed).
// When the message cannot be opened, its headers fail to open otherwise, or
// reading raises an exception, the flag stays clear (what was stored
// stays), so a later call tries again.
// Records checkpoints 26 to 29. Call it only while no other thread uses the
// record.
void fillRecipientsFromHeaders(MessageInfo *info, IMAPIProp *message);
