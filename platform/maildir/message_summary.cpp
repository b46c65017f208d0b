#include "platform/maildir/message_summary.h"

#include "platform/maildir/address.h"
#include "platform/maildir/encoded_words.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/mime.h"

namespace {

std::u16string capped(std::u16string s)
{
  if (s.size() > MAX_TEXT_UNITS)
    s.resize(MAX_TEXT_UNITS);
  return s;
}

} // namespace

MessageSummary summarizeHeaders(std::string_view text) { return summarizeHeaders(parseHeaderSection(text)); }

MessageSummary summarizeHeaders(const HeaderSection &hs)
{
  MessageSummary m;
  m.headerLength = hs.bodyOffset;

  std::string charset;
  if (const std::string *ct = findHeader(hs, "Content-Type")) {
    MimeHeader type = parseMimeHeader(*ct);
    if (const std::string *cs = findParam(type, "charset"))
      charset = *cs;
  }

  if (const std::string *v = findHeader(hs, "Subject"))
    m.subject = capped(decodeHeaderValue(*v, charset));
  if (const std::string *v = findHeader(hs, "To"))
    m.displayTo = capped(decodeHeaderValue(*v, charset));
  if (const std::string *v = findHeader(hs, "Cc"))
    m.displayCc = capped(decodeHeaderValue(*v, charset));

  const std::string *from = findHeader(hs, "From");
  if (!from)
    from = findHeader(hs, "Sender");
  if (from) {
    Mailbox mb = parseFirstMailbox(*from);
    std::u16string address = capped(decodeHeaderValue(mb.address, charset));
    std::u16string name = capped(decodeHeaderValue(mb.displayName, charset));
    m.senderAddress = address;
    m.senderName = name.empty() ? address : name;
  }
  return m;
}
