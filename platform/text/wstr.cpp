#include "platform/text/wstr.h"

#include <unicode/uchar.h>

#include <cstring>

std::size_t wstrLen(const WCHAR *s)
{
  std::size_t n = 0;
  while (s[n])
    ++n;
  return n;
}

std::size_t wstrCopy(WCHAR *dst, std::size_t capacity, std::u16string_view src)
{
  if (capacity == 0)
    return 0;
  std::size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
  std::memmove(dst, src.data(), n * sizeof(WCHAR));
  dst[n] = 0;
  return n;
}

std::size_t wstrCopy(WCHAR *dst, std::size_t capacity, const WCHAR *src)
{
  return wstrCopy(dst, capacity, std::u16string_view(src ? src : u""));
}

std::size_t wstrAppend(WCHAR *dst, std::size_t capacity, const WCHAR *src)
{
  std::size_t used = 0;
  while (used < capacity && dst[used])
    ++used;
  if (used >= capacity)
    return 0;
  return wstrCopy(dst + used, capacity - used, src);
}

int wstrCmp(const WCHAR *a, const WCHAR *b)
{
  while (*a && *a == *b)
    ++a, ++b;
  return static_cast<int>(*a) - static_cast<int>(*b);
}

WCHAR toLowerUnit(WCHAR c)
{
  if (c < 0x80)
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF)
    return c;
  UChar32 lower = u_tolower(c);
  return lower > 0xFFFF ? c : static_cast<WCHAR>(lower);
}

void wstrLowerInPlace(WCHAR *s)
{
  for (; *s; ++s)
    *s = toLowerUnit(*s);
}

int wstrICmp(std::u16string_view a, std::u16string_view b)
{
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    int d = static_cast<int>(toLowerUnit(a[i])) - static_cast<int>(toLowerUnit(b[i]));
    if (d)
      return d;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int wstrICmp(const WCHAR *a, const WCHAR *b)
{
  return wstrICmp(std::u16string_view(a), std::u16string_view(b));
}

const WCHAR *wstrFind(const WCHAR *hay, const WCHAR *needle)
{
  if (!*needle)
    return hay;
  for (; *hay; ++hay) {
    const WCHAR *h = hay, *n = needle;
    while (*h && *h == *n)
      ++h, ++n;
    if (!*n)
      return hay;
  }
  return nullptr;
}

std::u16string utf8ToUtf16(std::string_view s)
{
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + len <= s.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80)
        ok = false;
      else
        cp = (cp << 6) | (cc & 0x3F);
    }
    static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view s)
{
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string wformat(const WCHAR *fmt, std::initializer_list<FormatArg> args)
{
  std::u16string out;
  auto next = args.begin();
  for (const WCHAR *p = fmt; *p; ++p) {
    if (*p != u'%') {
      out.push_back(*p);
      continue;
    }
    WCHAR d = p[1];
    if (d == u'%') {
      out.push_back(u'%');
      ++p;
    } else if (d == u's' && next != args.end() && next->text) {
      out += next++->text;
      ++p;
    } else if (d == u'd' && next != args.end() && !next->text) {
      std::string digits = std::to_string(next++->number);
      out.append(digits.begin(), digits.end());
      ++p;
    } else {
      out.push_back(u'%');
    }
  }
  return out;
}
