// Hive files as any process or person may leave them. Whatever is read must
// write out and read back as the same keys and values, byte for byte.
#include "platform/registry/reg_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::string_view bytes(reinterpret_cast<const char *>(data), size);
  Hive hive = parseRegFile(bytes, u"HKEY_CURRENT_USER");
  std::string text = formatRegFile(hive, u"HKEY_CURRENT_USER");
  Hive back = parseRegFile(text, u"HKEY_CURRENT_USER");
  if (back.damaged || back.keys.size() != hive.keys.size())
    std::abort();
  for (const auto &[folded, key] : hive.keys) {
    auto it = back.keys.find(folded);
    if (it == back.keys.end() || it->second.path != key.path || it->second.values.size() != key.values.size())
      std::abort();
    for (std::size_t i = 0; i < key.values.size(); ++i) {
      const RegValue &a = key.values[i], &b = it->second.values[i];
      if (a.name != b.name || a.type != b.type || a.data != b.data)
        std::abort();
    }
  }
  return 0;
}
