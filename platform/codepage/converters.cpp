#include "platform/codepage/converters.h"

#include "platform/codepage/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <map>
#include <memory>
#include <string>

namespace {

struct ConverterCloser {
  void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// The ICU name for a Windows code page number; empty when there is none.
std::string icuName(UINT codePage)
{
  switch (codePage) {
  case CP_ACP:
    return "windows-1252";
  case CP_UTF8:
    return "UTF-8";
  case 1200:
    return "UTF-16LE";
  case 1201:
    return "UTF-16BE";
  case 20127:
    return "US-ASCII";
  }
  for (const char *prefix : {"windows-", "cp", "ibm-"}) {
    std::string name = prefix + std::to_string(codePage);
    UErrorCode err = U_ZERO_ERROR;
    const char *canonical = ucnv_getCanonicalName(name.c_str(), "", &err);
    if (U_SUCCESS(err) && canonical)
      return name;
  }
  return {};
}

// ICU converters are not thread-safe; each thread keeps its own, opened once
// per code page.
UConverter *converterFor(UINT codePage)
{
  thread_local std::map<UINT, Converter> cache;
  auto it = cache.find(codePage);
  if (it != cache.end())
    return it->second.get();
  UConverter *conv = nullptr;
  std::string name = icuName(codePage);
  if (!name.empty()) {
    UErrorCode err = U_ZERO_ERROR;
    conv = ucnv_open(name.c_str(), &err);
    if (U_FAILURE(err))
      conv = nullptr;
  }
  if (!conv && codePage != CP_ACP)
    conv = converterFor(CP_ACP);
  else
    cache.emplace(codePage, Converter(conv));
  return conv;
}

} // namespace

bool isCodePageSupported(UINT codePage)
{
  return codePage == CP_ACP || !icuName(codePage).empty();
}

std::u16string decodeBytes(UINT codePage, std::string_view bytes)
{
  UConverter *conv = converterFor(codePage);
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

std::string encodeText(UINT codePage, std::u16string_view text, char substitute, bool *usedSubstitute)
{
  UConverter *conv = converterFor(codePage);
  *usedSubstitute = false;
  std::string out;
  out.reserve(text.size());
  // One character at a time, so that each unmappable one is counted and
  // replaced by the caller's substitute rather than the converter's own.
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t len = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                       text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
                          ? 2
                          : 1;
    char buf[16];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(conv);
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    int32_t n = ucnv_fromUChars(conv, buf, sizeof buf, text.data() + i, static_cast<int32_t>(len), &err);
    if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) {
      out.push_back(substitute);
      *usedSubstitute = true;
    } else {
      out.append(buf, static_cast<std::size_t>(n));
    }
    i += len;
  }
  return out;
}
