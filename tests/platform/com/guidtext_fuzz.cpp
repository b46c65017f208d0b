// Class ids read from the registry: any text either reads as a GUID that
// writes back to the same text (upper case), or is refused with a zero GUID.
#include "platform/com/guidtext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  // Bytes widen to units, so that ASCII seeds read as text.
  std::vector<WCHAR> text(data, data + size);
  text.push_back(0);
  GUID g;
  if (CLSIDFromString(text.data(), &g) != S_OK) {
    if (!IsEqualGUID(g, GUID{}))
      std::abort();
    return 0;
  }
  WCHAR back[39];
  if (StringFromGUID2(g, back, 39) != 39)
    std::abort();
  for (int i = 0; i < 39; ++i) {
    WCHAR a = text[static_cast<std::size_t>(i)];
    if (a >= u'a' && a <= u'f')
      a = static_cast<WCHAR>(a - 32);
    if (a != back[i])
      std::abort();
  }
  return 0;
}
