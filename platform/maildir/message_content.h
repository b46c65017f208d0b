// What the store shows of a message file's text: its header texts and
// whether it carries attachments, read from no more of the file than they
// need. Internal to platform/maildir.
#pragma once

#include "platform/maildir/message_summary.h"

#include <optional>
#include <string>

namespace maildir {

// What is read from a message file's text.
struct MessageContent {
  MessageSummary summary;      // the decoded header texts
  bool hasAttachments = false; // the MIME structure carries an attachment
};

// Reads a message file's content: the header section, then only as much of
// the body as the attachment question needs (a plain text message is done
// with its headers, a mixed one at its first attachment's headers). The same
// result as parsing the whole file. Only a regular file is read, not through
// a link as the last step and never blocking, no further than its size when
// opened. Nothing, with errno set, when it cannot be read (EINVAL: not a
// regular file).
std::optional<MessageContent> readMessageContent(const std::string &path);

} // namespace maildir
