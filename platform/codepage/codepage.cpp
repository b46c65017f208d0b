#include "platform/codepage/codepage.h"

#include "platform/codepage/converters.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

int inputLength(const char *src, int srcLength)
{
  return srcLength < 0 ? static_cast<int>(std::strlen(src)) + 1 : srcLength;
}

int inputLength(const WCHAR *src, int srcLength)
{
  if (srcLength >= 0)
    return srcLength;
  int n = 0;
  while (src[n])
    ++n;
  return n + 1;
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD, const char *src, int srcLength, WCHAR *dst,
                        int dstCapacity)
{
  if (!src || dstCapacity < 0 || (dstCapacity > 0 && !dst))
    return 0;
  auto n = static_cast<std::size_t>(inputLength(src, srcLength));
  // The terminator is the contract's, not the code page's: a converter may
  // read a zero byte otherwise (UTF-7 reads it as U+FFFD).
  bool terminated = n > 0 && src[n - 1] == '\0';
  std::u16string out = decodeBytes(codePage, std::string_view(src, terminated ? n - 1 : n));
  if (terminated)
    out.push_back(u'\0');
  if (dstCapacity == 0)
    return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(dstCapacity))
    return 0;
  std::memcpy(dst, out.data(), out.size() * sizeof(WCHAR));
  return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR *src, int srcLength, char *dst,
                        int dstCapacity, const char *defaultChar, BOOL *usedDefaultChar)
{
  if (!src || dstCapacity < 0 || (dstCapacity > 0 && !dst))
    return 0;
  auto n = static_cast<std::size_t>(inputLength(src, srcLength));
  bool terminated = n > 0 && src[n - 1] == u'\0';
  bool usedDefault = false;
  std::string out = encodeText(codePage, std::u16string_view(src, terminated ? n - 1 : n),
                               defaultChar ? *defaultChar : '?', &usedDefault);
  if (terminated)
    out.push_back('\0');
  if (usedDefaultChar)
    *usedDefaultChar = usedDefault ? TRUE : FALSE;
  if (dstCapacity == 0)
    return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(dstCapacity))
    return 0;
  std::memcpy(dst, out.data(), out.size());
  return static_cast<int>(out.size());
}
