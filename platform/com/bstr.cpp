#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Bytes of the length prefix in front of the text.
constexpr std::size_t PREFIX = sizeof(DWORD);

DWORD *prefixOf(BSTR s)
{
  return reinterpret_cast<DWORD *>(reinterpret_cast<char *>(s) - PREFIX);
}

} // namespace

BSTR SysAllocStringLen(const WCHAR *s, UINT len)
{
  // The byte count must fit the 32-bit prefix.
  if (len > (std::numeric_limits<DWORD>::max() - PREFIX - sizeof(WCHAR)) / sizeof(WCHAR))
    return nullptr;
  std::size_t bytes = std::size_t{len} * sizeof(WCHAR);
  char *block = static_cast<char *>(std::malloc(PREFIX + bytes + sizeof(WCHAR)));
  if (!block)
    return nullptr;
  DWORD prefix = static_cast<DWORD>(bytes);
  std::memcpy(block, &prefix, PREFIX);
  BSTR text = reinterpret_cast<BSTR>(block + PREFIX);
  if (s)
    std::memcpy(text, s, bytes);
  else
    std::memset(text, 0, bytes);
  text[len] = 0;
  return text;
}

BSTR SysAllocString(const WCHAR *s)
{
  if (!s)
    return nullptr;
  std::size_t n = 0;
  while (s[n])
    ++n;
  if (n > std::numeric_limits<UINT>::max())
    return nullptr;
  return SysAllocStringLen(s, static_cast<UINT>(n));
}

void SysFreeString(BSTR s)
{
  if (s)
    std::free(prefixOf(s));
}

UINT SysStringByteLen(BSTR s)
{
  if (!s)
    return 0;
  DWORD bytes;
  std::memcpy(&bytes, prefixOf(s), PREFIX);
  return bytes;
}

UINT SysStringLen(BSTR s) { return SysStringByteLen(s) / sizeof(WCHAR); }
