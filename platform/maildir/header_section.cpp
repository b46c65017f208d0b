#include "platform/maildir/header_section.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Field names are printable ASCII except the colon (RFC 5322 ftext).
// Blanks before the colon are obsolete syntax that is still met; they are
// dropped from the name.
std::string_view fieldName(std::string_view line)
{
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0)
    return {};
  std::string_view name = line.substr(0, colon);
  while (!name.empty() && isBlank(name.back()))
    name.remove_suffix(1);
  if (name.empty())
    return {};
  for (unsigned char c : name)
    if (c < 33 || c > 126)
      return {};
  return name;
}

void appendCapped(std::string &value, std::string_view piece, std::size_t maxValue)
{
  if (value.size() >= maxValue)
    return;
  value.append(piece.substr(0, maxValue - value.size()));
}

void trim(std::string &s)
{
  std::size_t e = s.size();
  while (e > 0 && isBlank(s[e - 1]))
    --e;
  s.resize(e);
  std::size_t b = 0;
  while (b < s.size() && isBlank(s[b]))
    ++b;
  s.erase(0, b);
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z')
      x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z')
      y = static_cast<unsigned char>(y + 32);
    if (x != y)
      return false;
  }
  return true;
}

HeaderSection parseHeaderSection(std::string_view text, std::size_t maxValue)
{
  HeaderSection section;
  std::size_t pos = 0;
  bool inField = false; // the previous line began a field that may continue
  while (pos < text.size()) {
    const void *lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
    std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text.data())
                         : text.size();
    std::size_t next = lf ? end + 1 : end;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    pos = next;
    if (line.empty()) {
      section.bodyOffset = pos;
      section.ended = lf != nullptr;
      for (HeaderField &f : section.fields)
        trim(f.value);
      return section;
    }
    if (isBlank(line.front())) {
      // Unfolding removes the line break and keeps the blank (RFC 5322 2.2.3).
      if (inField)
        appendCapped(section.fields.back().value, line, maxValue);
      continue;
    }
    std::string_view name = fieldName(line);
    if (name.empty()) {
      inField = false;
      continue;
    }
    HeaderField field;
    field.name = name;
    appendCapped(field.value, line.substr(line.find(':') + 1), maxValue);
    section.fields.push_back(std::move(field));
    inField = true;
  }
  section.bodyOffset = text.size();
  for (HeaderField &f : section.fields)
    trim(f.value);
  return section;
}

const std::string *findHeader(const HeaderSection &section, std::string_view name)
{
  for (const HeaderField &f : section.fields)
    if (equalsNoCase(f.name, name))
      return &f.value;
  return nullptr;
}
