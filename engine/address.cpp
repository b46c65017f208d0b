#include "engine/address.h"

#include <cstring>

WCHAR *stripToAddress(WCHAR *text)
{
  if (!text)
    return nullptr;
  WCHAR *open = nullptr;
  WCHAR *close = nullptr;
  for (WCHAR *p = text; *p; ++p) {
    if (*p == u'<') {
      open = p;
      close = nullptr;
    } else if (*p == u'>' && open) {
      close = p;
    }
  }
  if (!close)
    return text;
  std::size_t length = static_cast<std::size_t>(close - open - 1);
  std::memmove(text, open + 1, length * sizeof(WCHAR));
  text[length] = 0;
  return text;
}
