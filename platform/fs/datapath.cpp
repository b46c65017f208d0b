#include "platform/fs/datapath.h"

#include "platform/text/wstr.h"

#include <cstdlib>

std::filesystem::path dataRoot()
{
  if (const char *root = std::getenv("QUILLMARSH_ROOT"); root && *root)
    return root;
  if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    return std::filesystem::path(xdg) / "quillmarsh";
  const char *home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local/share/quillmarsh";
}

std::optional<std::filesystem::path> devicePath(LPCWSTR path)
{
  std::filesystem::path out = dataRoot();
  std::u16string_view rest(path);
  bool any = false;
  while (!rest.empty()) {
    std::size_t cut = rest.find_first_of(u"\\/");
    std::u16string_view part = rest.substr(0, cut);
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    if (part.empty())
      continue;
    if (part == u"." || part == u"..")
      return std::nullopt;
    out /= utf16ToUtf8(part);
    any = true;
  }
  if (!any)
    return std::nullopt;
  return out;
}
