// Message files are outside data: every header and MIME reader over any bytes.
#include "platform/maildir/address.h"
#include "platform/maildir/encoded_words.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/message_summary.h"
#include "platform/maildir/mime.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::string_view text(reinterpret_cast<const char *>(data), size);
  MessageSummary m = summarizeHeaders(text);
  if (m.headerLength > size)
    std::abort();
  for (const auto *t : {&m.subject, &m.senderName, &m.senderAddress, &m.displayTo, &m.displayCc})
    if (*t && ((*t)->size() > MAX_TEXT_UNITS || (*t)->find(u'\0') != std::u16string::npos))
      std::abort();
  // A reader that stops at the first bytes that decide gets what the whole says.
  Attachments whole = messageHasAttachments(text) ? Attachments::Found : Attachments::None;
  for (std::size_t n : {size / 4, size / 2, size - size / 8, size ? size - 1 : 0}) {
    std::string_view first = text.substr(0, n);
    Attachments v = attachmentsInFirstBytes(first, parseHeaderSection(first), n < size);
    if (v != Attachments::Unknown && v != whole)
      std::abort();
  }
  HeaderSection hs = parseHeaderSection(text);
  for (const HeaderField &f : hs.fields) {
    (void)parseMimeHeader(f.value);
    (void)parseFirstMailbox(f.value);
    (void)decodeHeaderValue(f.value, "koi8-r");
  }
  return 0;
}
