#include "engine/recipients.h"

#include "services/checkpoint.h"
#include "engine/address.h"
#include "engine/header_decode.h"
#include "engine/header_field.h"
#include "engine/header_line.h"
#include "engine/mapi_refs.h"
#include "engine/session.h"
#include "platform/com/stream.h"
#include "platform/mapi/mapitags.h"

namespace {

// Units of the buffer a header value is decoded into.
constexpr std::size_t DECODED_VALUE_UNITS = 1024;

// Decodes a header value, reduces it to its bare address and stores it.
void storeRecipient(char *line, WCHAR (&field)[MESSAGE_TEXT_CHARS])
{
  WCHAR decoded[DECODED_VALUE_UNITS];
  decodeHeaderText(headerValue(line), decoded, DECODED_VALUE_UNITS);
  setMessageText(field, stripToAddress(decoded));
}

// Reads the header section into the record's empty recipient lines. Exceptions
// of the stream pass through.
void readRecipientLines(MessageInfo *info, IStream *stream)
{
  char window[HEADER_WINDOW_BYTES];
  char line[HEADER_WINDOW_BYTES];
  char *end = window;
  while (readHeaderLine(stream, window, &end, line, sizeof line) && line[0]) {
    if (!info->toLine[0] && isHeaderLine(line, TO_HEADER))
      storeRecipient(line, info->toLine);
    else if (!info->ccLine[0] && isHeaderLine(line, CC_HEADER))
      storeRecipient(line, info->ccLine);
  }
}

} // namespace

void fillRecipientsFromHeaders(MessageInfo *info, IMAPIProp *message)
{
  markCheckpoint(26);
  if (info->toLine[0] || info->ccLine[0]) {
    info->headersParsed = 1;
    return;
  }
  if (info->headersParsed)
    return;
  try {
    ComRef<IMessage> opened;
    if (!message) {
      opened = openMessageById(info->entryIdSize, info->entryId);
      if (!opened)
        return;
      message = opened.get();
    }
    markCheckpoint(27);
    ComRef<IStream> stream;
    HRESULT hr = message->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, stream.putUnknown());
    if (hr == MAPI_E_NOT_FOUND) {
      // No headers to read: the recipients are complete as they are (none),
      // as for a header section without those lines; asking again at every
      // revisit would reopen the message each time.
      info->headersParsed = 1;
      return;
    }
    if (hr != S_OK || !stream)
      return;
    markCheckpoint(28);
    readRecipientLines(info, stream.get());
    markCheckpoint(29);
    info->headersParsed = 1;
  } catch (...) {
    // The reading ends as a failure: the flag stays clear for a later try.
  }
}
