// Side files are outside data (another process, a damaged disk): any bytes
// read, and what is read is written back the same.
#include "platform/maildir/side_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  SideEntries entries = parseSideFile(std::string_view(reinterpret_cast<const char *>(data), size));
  if (parseSideFile(formatSideFile(entries)) != entries)
    std::abort();
  return 0;
}
