#include "platform/codepage/converters.h"

#include "platform/codepage/codepage.h"
#include "platform/codepage/codepage_names.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <bit>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <string>

namespace {

static_assert(std::endian::native == std::endian::little, "iconv converts to UTF-16LE as WCHAR");

const iconv_t NO_ICONV = reinterpret_cast<iconv_t>(-1);

// One code page's open converter, from whichever library holds it.
struct Converter {
  UConverter *icu = nullptr;      // ICU converter, or null
  iconv_t toUnicode = NO_ICONV;   // iconv: code page to UTF-16LE
  iconv_t fromUnicode = NO_ICONV; // iconv: UTF-16LE to code page

  Converter() = default;
  Converter(const Converter &) = delete;
  Converter &operator=(const Converter &) = delete;
  ~Converter()
  {
    if (icu)
      ucnv_close(icu);
    if (toUnicode != NO_ICONV)
      iconv_close(toUnicode);
    if (fromUnicode != NO_ICONV)
      iconv_close(fromUnicode);
  }
  bool usable() const { return icu || (toUnicode != NO_ICONV && fromUnicode != NO_ICONV); }
};

// Opens the converter for a number; null when no library can.
std::shared_ptr<Converter> openConverter(UINT codePage)
{
  CodePageConverterName name = codePageConverterName(codePage);
  auto conv = std::make_shared<Converter>();
  if (name.library == CodePageLibrary::icu) {
    UErrorCode err = U_ZERO_ERROR;
    conv->icu = ucnv_open(name.name.c_str(), &err);
    if (U_FAILURE(err) && conv->icu) {
      ucnv_close(conv->icu);
      conv->icu = nullptr;
    }
  } else if (name.library == CodePageLibrary::iconv) {
    conv->toUnicode = iconv_open("UTF-16LE", name.name.c_str());
    conv->fromUnicode = iconv_open(name.name.c_str(), "UTF-16LE");
  }
  return conv->usable() ? conv : nullptr;
}

// ICU converters and iconv descriptors are not thread-safe; each thread
// keeps its own, opened once per code page. A number without a converter
// shares code page 0's.
Converter *converterFor(UINT codePage)
{
  thread_local std::map<UINT, std::shared_ptr<Converter>> cache;
  auto it = cache.find(codePage);
  if (it != cache.end())
    return it->second.get();
  std::shared_ptr<Converter> conv = openConverter(codePage);
  if (!conv) {
    if (codePage == CP_ACP)
      return nullptr; // ICU without its data: nothing converts
    converterFor(CP_ACP);
    conv = cache[CP_ACP];
  }
  cache.emplace(codePage, conv);
  return conv.get();
}

std::u16string decodeWithIcu(UConverter *conv, std::string_view bytes)
{
  std::u16string out(bytes.size() * 2 + 4, u'\0');
  UErrorCode err = U_ZERO_ERROR;
  ucnv_resetToUnicode(conv);
  int32_t n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(n) + 1);
    err = U_ZERO_ERROR;
    n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &err);
  }
  if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING)
    return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// iconv stops at a byte it cannot convert; such a byte becomes U+FFFD and
// the conversion goes on after it, as ICU's converters do.
std::u16string decodeWithIconv(iconv_t cd, std::string_view bytes)
{
  std::u16string out;
  out.reserve(bytes.size() + 1);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char *in = const_cast<char *>(bytes.data());
  std::size_t inLeft = bytes.size();
  char16_t chunk[256];
  while (inLeft > 0) {
    char *dst = reinterpret_cast<char *>(chunk);
    std::size_t dstLeft = sizeof chunk;
    std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    int error = errno;
    out.append(chunk, (sizeof chunk - dstLeft) / sizeof(char16_t));
    if (r != static_cast<std::size_t>(-1))
      continue;
    if (error == E2BIG)
      continue;
    out.push_back(u'\uFFFD');
    if (error != EILSEQ)
      break; // a sequence cut at the end of the input
    ++in;
    --inLeft;
  }
  return out;
}

bool isLeadSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isTrailSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Encodes one character (one unit, or a surrogate pair) into buf; the
// number of bytes, or -1 when the code page lacks it.
int encodeOne(Converter *conv, const char16_t *ch, std::size_t len, char *buf, std::size_t size)
{
  if (conv->icu) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(conv->icu);
    ucnv_setFromUCallBack(conv->icu, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    int32_t n = ucnv_fromUChars(conv->icu, buf, static_cast<int32_t>(size), ch,
                                static_cast<int32_t>(len), &err);
    return U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING ? -1 : n;
  }
  iconv(conv->fromUnicode, nullptr, nullptr, nullptr, nullptr);
  char *in = reinterpret_cast<char *>(const_cast<char16_t *>(ch));
  std::size_t inLeft = len * sizeof(char16_t);
  char *dst = buf;
  std::size_t dstLeft = size;
  if (iconv(conv->fromUnicode, &in, &inLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
    return -1;
  return static_cast<int>(size - dstLeft);
}

} // namespace

bool isCodePageSupported(UINT codePage)
{
  if (codePage == CP_ACP)
    return true;
  Converter *conv = converterFor(codePage);
  return conv && conv != converterFor(CP_ACP);
}

std::u16string decodeBytes(UINT codePage, std::string_view bytes)
{
  Converter *conv = converterFor(codePage);
  if (!conv)
    return {};
  return conv->icu ? decodeWithIcu(conv->icu, bytes) : decodeWithIconv(conv->toUnicode, bytes);
}

std::string encodeText(UINT codePage, std::u16string_view text, char substitute, bool *usedSubstitute)
{
  Converter *conv = converterFor(codePage);
  *usedSubstitute = false;
  std::string out;
  if (!conv)
    return out;
  out.reserve(text.size());
  // One character at a time, so that each unmappable one is counted and
  // replaced by the caller's substitute rather than the converter's own.
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t len =
        isLeadSurrogate(text[i]) && i + 1 < text.size() && isTrailSurrogate(text[i + 1]) ? 2 : 1;
    char buf[16];
    int n = encodeOne(conv, text.data() + i, len, buf, sizeof buf);
    if (n < 0) {
      out.push_back(substitute);
      *usedSubstitute = true;
    } else {
      out.append(buf, static_cast<std::size_t>(n));
    }
    i += len;
  }
  return out;
}
