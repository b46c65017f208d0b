// Language resource files as a translator or a damaged disk may leave them.
#include "platform/resources/resource_table.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  ResourceTable table = parseLanguageFile(std::string_view(reinterpret_cast<const char *>(data), size));
  // Ids are 16-bit; each entry takes at least three bytes ("1=\n" or the
  // last line's "1="); no text has more units than the input has bytes.
  if (table.strings.size() > size / 2 + 1)
    std::abort();
  for (const auto &[id, text] : table.strings)
    if (id > 0xFFFF || text.size() > size)
      std::abort();
  return 0;
}
