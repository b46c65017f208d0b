// What the store shows of a message file: the header texts decoded to
// UTF-16 and whether it has attachments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Longest text kept for one property, in UTF-16 units. Readers take at most
// a few hundred units; a 10 MB header line must not become 20 MB of
// property value.
constexpr std::size_t MAX_TEXT_UNITS = 32 * 1024;

// The decoded header texts of a message. A text is absent when the
// message has no such header.
struct MessageSummary {
  std::optional<std::u16string> subject;       // Subject
  std::optional<std::u16string> senderName;    // From's display name, else its address
  std::optional<std::u16string> senderAddress; // From's address (Sender's when From is missing)
  std::optional<std::u16string> displayTo;     // To, decoded, as written
  std::optional<std::u16string> displayCc;     // Cc, decoded, as written
  std::size_t headerLength = 0;                // bytes of the header section, blank line included
};

// Reads the header section of a message text (only the header section is
// looked at). Raw 8-bit bytes that are not UTF-8 are taken in the charset of
// the message's Content-Type. Never fails: junk gives absent texts.
MessageSummary summarizeHeaders(std::string_view text);

struct HeaderSection;
// The same over a header section parsed already.
MessageSummary summarizeHeaders(const HeaderSection &headers);
