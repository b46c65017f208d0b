#include "platform/maildir/store_layout.h"

#include "platform/fs/datapath.h"
#include "platform/maildir/entry_id.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/maildir_folder.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

fs::path mailRoot() { return dataRoot() / "Mail"; }

fs::path transportRoot() { return dataRoot() / "Transport"; }

namespace {

std::vector<std::string> storeDirs(const fs::path &root)
{
  std::vector<std::string> out;
  DIR *d = opendir(root.c_str());
  if (!d)
    return out;
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    if (!isValidDirName(name))
      continue;
    struct stat st;
    if (stat((root / name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      out.push_back(name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

} // namespace

std::vector<std::string> listStoreNames(const fs::path &root)
{
  std::vector<std::string> names = storeDirs(root);
  if (!names.empty())
    return names;
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ensureStandardFolders(root / DEFAULT_STORE_NAME))
    names.push_back(DEFAULT_STORE_NAME);
  return names;
}

std::string inboxDirName(const fs::path &storeDir)
{
  std::error_code ec;
  if (fs::is_directory(storeDir / INBOX_NAME, ec))
    return INBOX_NAME;
  for (const std::string &name : listSubfolders(storeDir))
    if (equalsNoCase(name, INBOX_NAME))
      return name;
  return INBOX_NAME;
}

bool ensureStandardFolders(const fs::path &storeDir)
{
  bool ok = ensureMaildir(storeDir);
  for (const std::string &name : {inboxDirName(storeDir), std::string(OUTBOX_NAME),
                                  std::string(SENT_ITEMS_NAME), std::string(DELETED_ITEMS_NAME),
                                  std::string(DRAFTS_NAME)})
    ok = ensureMaildir(storeDir / name) && ok;
  return ok;
}

fs::path transportPath(const fs::path &transportRoot, const std::string &store,
                       const std::string &unique)
{
  return transportRoot / store / unique;
}
