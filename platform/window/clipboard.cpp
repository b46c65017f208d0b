#include "platform/window/clipboard.h"

#include "platform/text/wstr.h"

#include <cstdint>

namespace {

constexpr UINT FIRST_REGISTERED_FORMAT = 0xC000;
constexpr UINT REGISTERED_FORMATS = 0x4000;

} // namespace

UINT RegisterClipboardFormatW(LPCWSTR lpszFormat)
{
  if (!lpszFormat || !*lpszFormat)
    return 0;
  // FNV-1a over the lower-cased units.
  std::uint32_t hash = 2166136261u;
  for (const WCHAR *p = lpszFormat; *p; ++p) {
    WCHAR unit = toLowerUnit(*p);
    hash = (hash ^ (unit & 0xFF)) * 16777619u;
    hash = (hash ^ (unit >> 8)) * 16777619u;
  }
  return FIRST_REGISTERED_FORMAT + hash % REGISTERED_FORMATS;
}
