// Folder names on disk come from other programs: any directory name of a
// Maildir++ store either stands for a folder whose components are sound,
// or for none; any text either is modified UTF-7, read back to the same
// bytes, or is not.
#include "platform/maildir/entry_id.h"
#include "platform/maildir/imap_utf7.h"
#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/store_layout.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::string_view text(reinterpret_cast<const char *>(data), size);
  if (auto name = decodeImapUtf7(text))
    if (encodeImapUtf7(*name) != text)
      std::abort(); // one spelling per name, so a folder is found by the name it shows
  if (auto folder = parseMaildirPlusPlusName(text)) {
    for (const std::string &part : *folder)
      if (!isValidDirName(part) || !isSubfolderName(part) || part.find('.') != std::string::npos)
        std::abort();
    componentDisplayName(StoreLayout::MaildirPlusPlus, folder->back());
  }
  return 0;
}
