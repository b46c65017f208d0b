// The header section of an Internet message (RFC 5322): its fields, each
// unfolded, and where the body starts. Lenient: any bytes give a result,
// never an error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One header field.
struct HeaderField {
  std::string_view name; // field name as written (points into the message)
  std::string value;     // value unfolded: line breaks removed, outer blanks trimmed
};

// The parsed header section.
struct HeaderSection {
  std::vector<HeaderField> fields; // in message order
  std::size_t bodyOffset = 0;      // offset of the body: after the empty line, or the end
  bool ended = false;              // an empty line with its line feed ended the section
};

// Splits the header section off the front of text. The section ends at the
// first empty line (LF or CR LF), or at the end of the text. A line that
// starts with a blank continues the previous field; a line that is neither
// a field ("name:" with a printable name) nor a continuation is skipped, so
// a leading mbox "From " line or stray body text does no harm. Values are
// capped at maxValue bytes each (the rest of a longer field is dropped).
HeaderSection parseHeaderSection(std::string_view text, std::size_t maxValue = 1 << 20);

// The value of the first field with the given name (compared without
// regard to case), or null.
const std::string *findHeader(const HeaderSection &section, std::string_view name);

// ASCII case-insensitive equality, for field names, charsets and tokens.
bool equalsNoCase(std::string_view a, std::string_view b);
