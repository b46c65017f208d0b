#include "platform/maildir/charset.h"

#include <unicode/ucnv.h>

#include <cctype>
#include <cstdint>

#include <map>
#include <memory>
#include <string>

namespace {

struct ConverterCloser {
  void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Charset names from mail are outside data: only the characters of IANA
// names reach ICU, so no option syntax (",version=") or odd bytes do.
bool plausibleName(std::string_view name)
{
  if (name.empty() || name.size() > 40)
    return false;
  for (unsigned char c : name)
    if (!(std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ':' || c == '+'))
      return false;
  return true;
}

// ICU converters are not thread-safe: each thread keeps its own, by
// lower-cased name. Names that failed stay in the cache as null, so a
// message full of a bogus charset asks ICU once.
UConverter *converterFor(std::string_view charset)
{
  thread_local std::map<std::string, Converter, std::less<>> cache;
  std::string key(charset);
  for (char &c : key)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto it = cache.find(key);
  if (it != cache.end())
    return it->second.get();
  if (cache.size() >= 64)
    cache.clear(); // bounded: a fuzzed stream of names cannot grow it
  UConverter *conv = nullptr;
  if (plausibleName(key)) {
    UErrorCode err = U_ZERO_ERROR;
    conv = ucnv_open(key.c_str(), &err);
    if (U_FAILURE(err))
      conv = nullptr;
  }
  cache.emplace(key, Converter(conv));
  return conv;
}

void appendConverted(UConverter *conv, std::string_view bytes, std::u16string &out)
{
  ucnv_resetToUnicode(conv);
  std::size_t start = out.size();
  out.resize(start + bytes.size() * 2 + 2);
  UChar *target = reinterpret_cast<UChar *>(out.data() + start);
  UChar *targetLimit = reinterpret_cast<UChar *>(out.data() + out.size());
  const char *source = bytes.data();
  const char *sourceLimit = bytes.data() + bytes.size();
  for (;;) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(conv, &target, targetLimit, &source, sourceLimit, nullptr, true, &err);
    std::size_t written = static_cast<std::size_t>(target - reinterpret_cast<UChar *>(out.data()));
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + bytes.size() + 16);
      target = reinterpret_cast<UChar *>(out.data() + written);
      targetLimit = reinterpret_cast<UChar *>(out.data() + out.size());
      continue;
    }
    out.resize(written);
    return;
  }
}

// UTF-8 to UTF-16 without a converter, for the charset most mail uses.
// Malformed sequences become U+FFFD, as ICU's converter makes them.
void appendUtf8(std::string_view bytes, std::u16string &out)
{
  std::size_t i = 0, n = bytes.size();
  out.reserve(out.size() + n);
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    std::uint32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    std::size_t k = 1;
    for (; len && k < len && i + k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(bytes[i + k]);
      if ((d & 0xC0) != 0x80)
        break;
      cp = (cp << 6) | (d & 0x3F);
    }
    bool ok = len && k == len && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
              !(cp >= 0xD800 && cp <= 0xDFFF);
    if (!ok) {
      out.push_back(u'\uFFFD');
      i += k > 1 ? k : 1;
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
}

// Windows-1252: Latin-1 but for 0x80-0x9F (0x81, 0x8D, 0x8F, 0x90 and 0x9D,
// unassigned, stay as the C1 controls).
void appendWindows1252(std::string_view bytes, std::u16string &out)
{
  static constexpr char16_t HIGH[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  out.reserve(out.size() + bytes.size());
  for (unsigned char c : bytes)
    out.push_back(c >= 0x80 && c < 0xA0 ? HIGH[c - 0x80] : static_cast<char16_t>(c));
}

bool isName(std::string_view name, std::string_view wanted)
{
  if (name.size() != wanted.size())
    return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) != wanted[i])
      return false;
  return true;
}

} // namespace

bool appendCharsetText(std::string_view charset, std::string_view bytes, std::u16string &out)
{
  if (isName(charset, "utf-8") || isName(charset, "utf8")) {
    appendUtf8(bytes, out);
    return true;
  }
  if (isName(charset, "us-ascii") || isName(charset, "iso-8859-1") || isName(charset, "latin1") ||
      isName(charset, "windows-1252")) {
    // Mail labelled Latin-1 or ASCII is written in Windows-1252 more often
    // than not, so it is read as that (as web browsers read it).
    appendWindows1252(bytes, out);
    return true;
  }
  UConverter *conv = converterFor(charset);
  if (!conv)
    return false;
  appendConverted(conv, bytes, out);
  return true;
}

bool isValidUtf8(std::string_view bytes)
{
  std::size_t i = 0, n = bytes.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF)
      len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
      len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
      len = 4, cp = c & 0x07;
    else
      return false;
    if (n - i < len)
      return false;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(bytes[i + k]);
      if ((d & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

void appendUnlabelledText(std::string_view bytes, std::string_view fallbackCharset,
                          std::u16string &out)
{
  // Most header text is ASCII: widen it without a converter.
  bool ascii = true;
  for (unsigned char c : bytes)
    ascii = ascii && c < 0x80;
  if (ascii) {
    out.append(bytes.begin(), bytes.end());
    return;
  }
  if (isValidUtf8(bytes)) {
    appendUtf8(bytes, out);
    return;
  }
  if (!fallbackCharset.empty() && appendCharsetText(fallbackCharset, bytes, out))
    return;
  appendWindows1252(bytes, out);
}
