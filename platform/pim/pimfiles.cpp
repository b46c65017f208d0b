#include "platform/pim/pimfiles.h"

#include "platform/fs/datapath.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"
#include "platform/pim/contentline.h"

#include <algorithm>
#include <cstdio>

namespace {

bool wanted(const std::filesystem::directory_entry &e, std::string_view extension)
{
  std::error_code ec;
  std::string name = e.path().filename().string();
  return !name.empty() && name[0] != '.' && e.is_regular_file(ec) &&
         equalsIgnoreCase(e.path().extension().string(), extension);
}

} // namespace

std::filesystem::path pimFolderPath(PimFolder folder)
{
  const WCHAR *name = folder == PimFolder::Contacts   ? u"\\PIM\\Contacts"
                      : folder == PimFolder::Calendar ? u"\\PIM\\Calendar"
                                                      : u"\\PIM\\Tasks";
  return *devicePath(name); // a fixed path without "." or "..": always mapped
}

std::vector<std::filesystem::path> listItemFiles(const std::filesystem::path &folder,
                                                 std::string_view extension, bool subfolders)
{
  std::vector<std::filesystem::path> files;
  // Error codes throughout: a folder that cannot be read just lists nothing more.
  auto scan = [&](const std::filesystem::path &dir, bool descend, auto &self) -> void {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::filesystem::directory_entry &e = *it;
      if (wanted(e, extension)) {
        files.push_back(e.path());
        continue;
      }
      std::string name = e.path().filename().string();
      std::error_code dirEc;
      if (descend && !name.empty() && name[0] != '.' && e.is_directory(dirEc))
        self(e.path(), false, self);
    }
  };
  scan(folder, subfolders, scan);
  std::sort(files.begin(), files.end());
  return files;
}

bool readItemFile(const std::filesystem::path &path, std::size_t maxBytes, std::string *bytes)
{
  // Never through a link, never a FIFO or device, never blocking.
  return readRegularFile(path, maxBytes, bytes) == 0;
}

bool writeItemFile(const std::filesystem::path &path, std::string_view bytes)
{
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  // Items are written once under new names: a save in the folder clears
  // what killed saves of any item left there.
  removeStaleTemporaries(path.parent_path(), {});
  AtomicFile af;
  if (!atomicOpen(&af, path))
    return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), af.file) != bytes.size()) {
    atomicAbort(&af);
    return false;
  }
  return atomicCommit(&af);
}
