#include "engine/message_text.h"

#include "engine/charset_table.h"
#include "engine/header_line.h"
#include "platform/codepage/codepage.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when text begins with prefix (lower case), ignoring ASCII case.
bool startsWithNoCase(const char *text, const char *prefix)
{
  for (; *prefix; ++text, ++prefix)
    if (lowerAscii(*text) != *prefix)
      return false;
  return true;
}

bool endsUnquotedValue(char c) { return c == '\0' || c == ';' || c == ' ' || c == '\t'; }

} // namespace

void scanContentTypeLine(ContentTypeCharset *state, const char *line)
{
  bool continuation = state->inContentType && (line[0] == '\t' || line[0] == ' ');
  state->inContentType = continuation || startsWithNoCase(line, "content-type:");
  if (!state->inContentType)
    return;
  for (const char *p = line; *p; ++p) {
    if (!startsWithNoCase(p, "charset="))
      continue;
    const char *value = p + 8;
    const char *stop;
    if (*value == '"' || *value == '\'') {
      const char *close = std::strchr(value + 1, *value);
      ++value;
      stop = close ? close : value + std::strlen(value);
    } else {
      stop = value;
      while (!endsUnquotedValue(*stop))
        ++stop;
    }
    std::string name(value, stop);
    state->codePage = charsetToCodePage(name.c_str());
  }
}

void readMessageText(IStream *stream, std::u16string *text)
{
  std::vector<char> window(HEADER_WINDOW_BYTES);
  // Room for the longest line, the CR LF appended to it and the terminator.
  std::vector<char> line(HEADER_WINDOW_BYTES + 2);
  char *end = window.data();
  ContentTypeCharset charset;
  while (readHeaderLine(stream, window.data(), &end, line.data(), HEADER_WINDOW_BYTES)) {
    if (line[0] == '\0')
      break;
    scanContentTypeLine(&charset, line.data());
  }
  UINT codePage = static_cast<UINT>(charset.codePage);
  while (readHeaderLine(stream, window.data(), &end, line.data(), HEADER_WINDOW_BYTES)) {
    std::strcat(line.data(), "\r\n");
    int need = MultiByteToWideChar(codePage, 0, line.data(), -1, nullptr, 0);
    if (need <= 1)
      continue;
    std::size_t at = text->size();
    text->resize(at + static_cast<std::size_t>(need));
    int got = MultiByteToWideChar(codePage, 0, line.data(), -1, text->data() + at, need);
    text->resize(got > 0 ? at + static_cast<std::size_t>(got) - 1 : at);
  }
}
