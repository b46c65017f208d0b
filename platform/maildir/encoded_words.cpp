#include "platform/maildir/encoded_words.h"

#include "platform/maildir/base64_digit.h"
#include "platform/maildir/charset.h"
#include "platform/maildir/header_section.h"

#include <cstdint>

namespace {

int hexValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

bool isLinearWhite(std::string_view s)
{
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
      return false;
  return true;
}

// One encoded word found in a value.
struct EncodedWord {
  std::size_t begin = 0;    // offset of "=?"
  std::size_t end = 0;      // offset after "?="
  std::string_view charset; // charset name, without an RFC 2231 language
  char encoding = 0;        // 'B' or 'Q'
  std::string_view text;    // encoded text
};

// Parses an encoded word that starts at pos ("=?"); false when the bytes
// there are not one.
bool parseEncodedWord(std::string_view v, std::size_t pos, EncodedWord *w)
{
  std::size_t q1 = v.find('?', pos + 2);
  if (q1 == std::string_view::npos || q1 == pos + 2)
    return false;
  std::string_view charset = v.substr(pos + 2, q1 - pos - 2);
  for (char c : charset)
    if (c == ' ' || c == '\t' || c == '=')
      return false;
  if (q1 + 2 >= v.size() || v[q1 + 2] != '?')
    return false;
  char enc = v[q1 + 1];
  if (enc == 'b')
    enc = 'B';
  if (enc == 'q')
    enc = 'Q';
  if (enc != 'B' && enc != 'Q')
    return false;
  std::size_t textBegin = q1 + 3;
  std::size_t q2 = v.find('?', textBegin);
  if (q2 == std::string_view::npos || q2 + 1 >= v.size() || v[q2 + 1] != '=')
    return false;
  std::size_t star = charset.find('*');
  w->begin = pos;
  w->end = q2 + 2;
  w->charset = charset.substr(0, star);
  w->encoding = enc;
  w->text = v.substr(textBegin, q2 - textBegin);
  return true;
}

void appendDecodedBytes(std::string_view charset, std::string_view bytes,
                        std::string_view fallback, std::u16string &out)
{
  if (!appendCharsetText(charset, bytes, out))
    appendUnlabelledText(bytes, fallback, out);
}

} // namespace

std::string decodeBEncoding(std::string_view text)
{
  std::string out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=')
      break;
    int v = base64Digit(c, '/');
    if (v < 0)
      continue;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return out;
}

std::string decodeQEncoding(std::string_view text)
{
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') {
      out.push_back(' ');
    } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::u16string decodeHeaderValue(std::string_view value, std::string_view fallbackCharset)
{
  std::u16string out;
  out.reserve(value.size());
  std::size_t pos = 0;        // start of text not yet appended
  std::size_t search = 0;     // where to look for the next "=?"
  bool afterWord = false;     // the text before pos ended with an encoded word
  std::string pendingBytes;   // decoded bytes of adjacent words in one charset
  std::string_view pendingCharset;

  auto flushPending = [&] {
    if (!pendingCharset.empty() || !pendingBytes.empty())
      appendDecodedBytes(pendingCharset, pendingBytes, fallbackCharset, out);
    pendingBytes.clear();
    pendingCharset = {};
  };

  for (;;) {
    std::size_t at = value.find("=?", search);
    if (at == std::string_view::npos)
      break;
    EncodedWord w;
    if (!parseEncodedWord(value, at, &w)) {
      search = at + 1;
      continue;
    }
    std::string_view between = value.substr(pos, at - pos);
    bool joined = afterWord && isLinearWhite(between);
    if (!joined) {
      flushPending();
      appendUnlabelledText(between, fallbackCharset, out);
    } else if (!equalsNoCase(pendingCharset, w.charset)) {
      flushPending();
    }
    pendingCharset = w.charset;
    pendingBytes += w.encoding == 'B' ? decodeBEncoding(w.text) : decodeQEncoding(w.text);
    pos = search = w.end;
    afterWord = true;
  }
  flushPending();
  appendUnlabelledText(value.substr(pos), fallbackCharset, out);

  for (char16_t &c : out) {
    if (c == u'\r' || c == u'\n' || c == u'\t')
      c = u' ';
    else if (c == 0)
      c = u'\uFFFD';
  }
  return out;
}
