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

} // namespace

bool appendCharsetText(std::string_view charset, std::string_view bytes, std::u16string &out)
{
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
  if (isValidUtf8(bytes) && appendCharsetText("utf-8", bytes, out))
    return;
  if (!fallbackCharset.empty() && appendCharsetText(fallbackCharset, bytes, out))
    return;
  appendCharsetText("windows-1252", bytes, out);
}
