#include "platform/resources/resource_table.h"

#include "platform/text/wstr.h"

namespace {

constexpr UINT MAX_STRING_ID = 0xFFFF; // string ids are 16-bit

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s)
{
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool sameNoCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y + 32);
    if (x != y)
      return false;
  }
  return true;
}

// Turns the escapes of a text into the units they stand for. With `quoted`,
// the text ends at the first unescaped '"', which must be followed by
// blanks only. False when a quoted text is not closed properly.
bool unescape(std::string_view s, bool quoted, std::u16string *out)
{
  std::u16string text;
  std::string run; // UTF-8 bytes not yet converted
  auto flush = [&] {
    text += utf8ToUtf16(run);
    run.clear();
  };
  std::size_t i = 0;
  bool closed = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (quoted && c == '"') {
      closed = true;
      ++i;
      break;
    }
    if (c != '\\' || i + 1 >= s.size()) {
      run += c;
      continue;
    }
    char e = s[i + 1];
    char16_t unit = 0;
    switch (e) {
    case '\\': unit = u'\\'; break;
    case '"': unit = u'"'; break;
    case 'n': unit = u'\n'; break;
    case 'r': unit = u'\r'; break;
    case 't': unit = u'\t'; break;
    case 'u': {
      int v = 0;
      bool ok = i + 5 < s.size();
      for (std::size_t k = 2; ok && k < 6; ++k) {
        int d = hexDigit(s[i + k]);
        ok = d >= 0;
        v = v * 16 + d;
      }
      if (!ok) {
        run += c; // not an escape after all: keep the backslash
        continue;
      }
      flush();
      text += static_cast<char16_t>(v);
      i += 5;
      continue;
    }
    default:
      run += c; // not one of ours: the backslash stays as written
      continue;
    }
    flush();
    text += unit;
    ++i;
  }
  flush();
  if (quoted && (!closed || !trim(s.substr(i)).empty()))
    return false;
  *out = std::move(text);
  return true;
}

} // namespace

ResourceTable parseLanguageFile(std::string_view bytes)
{
  ResourceTable table;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  bool inStrings = true; // entries before any section belong to the string table
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view line = trim(bytes.substr(0, end));
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';')
      continue;
    if (line.front() == '[') {
      inStrings = line.back() == ']' && sameNoCase(trim(line.substr(1, line.size() - 2)), "strings");
      continue;
    }
    if (!inStrings)
      continue;
    UINT id = 0;
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9' && id <= MAX_STRING_ID) {
      id = id * 10 + static_cast<UINT>(line[digits] - '0');
      ++digits;
    }
    if (digits == 0 || id > MAX_STRING_ID)
      continue;
    std::string_view rest = trim(line.substr(digits));
    if (rest.empty() || rest.front() != '=')
      continue;
    rest = trim(rest.substr(1));
    bool quoted = !rest.empty() && rest.front() == '"';
    std::u16string text;
    if (!unescape(quoted ? rest.substr(1) : rest, quoted, &text))
      continue;
    table.strings[id] = std::move(text);
  }
  return table;
}
