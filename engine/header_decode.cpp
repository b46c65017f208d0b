#include "engine/header_decode.h"

#include "engine/charset_table.h"
#include "platform/codepage/codepage.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

int base64Value(unsigned char c)
{
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return 0;
}

int hexValue(unsigned char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// Where decoded bytes go: at most capacity - 1 of them, then the terminator.
struct ByteSink {
  char *out;            // the caller's buffer
  std::size_t capacity; // its size in bytes
  std::size_t count;    // bytes kept so far

  void put(unsigned char b)
  {
    if (count + 1 < capacity)
      out[count++] = static_cast<char>(b);
  }
  std::size_t finish()
  {
    if (capacity > 0)
      out[count] = '\0';
    return count;
  }
};

bool isLeadSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }

// The output of decodeHeaderText: pieces are appended at pos, each
// overwriting the terminator of the one before.
struct WideSink {
  WCHAR *out;           // the caller's buffer
  std::size_t capacity; // its size in units
  std::size_t pos;      // where the next piece goes: the current terminator
  bool full;            // a piece was cut: nothing more is appended

  void append(UINT codePage, const char *piece)
  {
    if (full || capacity == 0)
      return;
    int room = static_cast<int>(capacity - pos);
    int k = MultiByteToWideChar(codePage, 0, piece, -1, out + pos, room);
    if (k > 1) {
      pos += static_cast<std::size_t>(k) - 1;
      return;
    }
    if (k == 1)
      return;
    // Too long for what is left: keep the whole characters that fit.
    int need = MultiByteToWideChar(codePage, 0, piece, -1, nullptr, 0);
    if (need <= 0)
      return;
    std::vector<WCHAR> all(static_cast<std::size_t>(need));
    if (MultiByteToWideChar(codePage, 0, piece, -1, all.data(), need) != need)
      return;
    std::size_t keep = static_cast<std::size_t>(room) - 1;
    if (keep > 0 && isLeadSurrogate(all[keep - 1]))
      --keep;
    std::memcpy(out + pos, all.data(), keep * sizeof(WCHAR));
    pos += keep;
    out[pos] = 0;
    full = true;
  }
};

} // namespace

std::size_t decodeBase64(const char *text, char *out, std::size_t capacity)
{
  ByteSink sink{out, capacity, 0};
  if (!text)
    return sink.finish();
  int group[4];
  int filled = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
    // Blanks come only from mailers that fold inside a word: not data.
    if (*p <= 0x20)
      continue;
    group[filled++] = base64Value(*p);
    if (filled < 4)
      continue;
    sink.put(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
    sink.put(static_cast<unsigned char>((group[1] << 4) | (group[2] >> 2)));
    sink.put(static_cast<unsigned char>((group[2] << 6) | group[3]));
    filled = 0;
  }
  // A cut last group: the bytes whose eight bits it holds.
  if (filled >= 2)
    sink.put(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
  if (filled == 3)
    sink.put(static_cast<unsigned char>((group[1] << 4) | (group[2] >> 2)));
  while (sink.count > 0 && out[sink.count - 1] == '\0')
    --sink.count;
  return sink.finish();
}

std::size_t decodeQuotedPrintable(const char *text, char *out, std::size_t capacity)
{
  ByteSink sink{out, capacity, 0};
  if (!text)
    return sink.finish();
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
    if (*p == '=') {
      if (!p[1] || !p[2])
        break;
      int hi = hexValue(p[1]);
      int lo = hexValue(p[2]);
      if (hi >= 0 && lo >= 0) {
        sink.put(static_cast<unsigned char>(hi * 16 + lo));
        p += 2;
      } else {
        sink.put('=');
      }
    } else if (*p == '_') {
      sink.put(' ');
    } else if (*p > 0x20 && *p < 0x80) {
      sink.put(*p);
    }
  }
  return sink.finish();
}

void decodeHeaderText(char *value, WCHAR *out, std::size_t capacity)
{
  if (capacity == 0)
    return;
  out[0] = 0;
  if (!value)
    return;
  WideSink sink{out, capacity, 0, false};
  std::string decoded;
  char *cur = value;
  while (char *start = std::strstr(cur, "=?")) {
    char *q1 = std::strchr(start + 2, '?');
    char *q2 = q1 ? std::strchr(q1 + 1, '?') : nullptr;
    char *end = q2 ? std::strstr(q2 + 1, "?=") : nullptr;
    if (!end)
      break;
    start[0] = start[1] = '\0';
    *q1 = '\0';
    *q2 = '\0';
    end[0] = end[1] = '\0';
    sink.append(CP_ACP, cur);
    const char *charset = start + 2;
    char letter = q1[1];
    const char *encoded = q2 + 1;
    UINT codePage = static_cast<UINT>(charsetToCodePage(charset));
    if (letter == 'B' || letter == 'Q') {
      // Decoding never makes the text longer.
      decoded.resize(static_cast<std::size_t>(end - encoded) + 1);
      if (letter == 'B')
        decodeBase64(encoded, decoded.data(), decoded.size());
      else
        decodeQuotedPrintable(encoded, decoded.data(), decoded.size());
      sink.append(codePage, decoded.c_str());
    } else {
      sink.append(codePage, encoded);
    }
    cur = end + 2;
  }
  sink.append(CP_ACP, cur);
}
