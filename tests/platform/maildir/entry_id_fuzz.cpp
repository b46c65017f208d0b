// Entry ids come from other processes (the Inbox extension's commands): any
// bytes either name an object inside the stores, written back the same, or
// nothing.
#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_folder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::vector<BYTE> bytes(data, data + size);
  auto id = decodeMaildirId(bytes);
  if (!id)
    return 0;
  if (encodeMaildirId(*id) != bytes)
    std::abort();
  if (!isValidDirName(id->store))
    std::abort();
  for (const std::string &part : id->folder)
    if (!isValidDirName(part) || !isSubfolderName(part))
      std::abort();
  return 0;
}
