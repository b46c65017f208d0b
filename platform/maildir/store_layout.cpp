#include "platform/maildir/store_layout.h"

#include "platform/fs/datapath.h"
#include "platform/maildir/entry_id.h"
#include "platform/maildir/folder_name.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/imap_utf7.h"
#include "platform/maildir/maildir_folder.h"
#include "platform/text/wstr.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path mailRoot() { return dataRoot() / "Mail"; }

fs::path transportRoot() { return dataRoot() / "Transport"; }

namespace {

bool isDirectory(const fs::path &p)
{
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool hasEntry(const fs::path &p)
{
  struct stat st;
  return lstat(p.c_str(), &st) == 0;
}

// The names of the real directories (links not followed) in dir.
std::vector<std::string> directoriesIn(const fs::path &dir)
{
  std::vector<std::string> out;
  DIR *d = opendir(dir.c_str());
  if (!d)
    return out;
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..")
      continue;
    struct stat st;
    if (e->d_type == DT_DIR ||
        (e->d_type == DT_UNKNOWN && lstat((dir / name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
      out.push_back(std::move(name));
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

// A Maildir++ folder directory holds a Maildir, or the mark that says it is one.
bool isMaildirPlusPlusFolder(const fs::path &dir)
{
  return isDirectory(dir / "cur") || isDirectory(dir / "new") || hasEntry(dir / "maildirfolder");
}

// The names that count for a standard folder, the layout's own first.
std::vector<std::string> standardNames(StoreLayout layout, StandardFolder which)
{
  bool own = layout == StoreLayout::Own;
  switch (which) {
  case StandardFolder::Outbox:
    return {OUTBOX_NAME};
  case StandardFolder::SentItems:
    if (own)
      return {SENT_ITEMS_NAME, "Sent", "Sent Messages", "Sent Mail"};
    return {"Sent", SENT_ITEMS_NAME, "Sent Messages", "Sent Mail"};
  case StandardFolder::DeletedItems:
    if (own)
      return {DELETED_ITEMS_NAME, "Trash", "Deleted Messages"};
    return {"Trash", DELETED_ITEMS_NAME, "Deleted Messages"};
  case StandardFolder::Drafts:
  case StandardFolder::Inbox:
    break;
  }
  return {DRAFTS_NAME};
}

} // namespace

std::vector<std::string> existingStoreNames(const fs::path &root)
{
  std::vector<std::string> out;
  DIR *d = opendir(root.c_str());
  if (!d)
    return out;
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    if (!isValidDirName(name))
      continue;
    if (isDirectory(root / name))
      out.push_back(name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> listStoreNames(const fs::path &root)
{
  std::vector<std::string> names = existingStoreNames(root);
  if (!names.empty())
    return names;
  std::error_code ec;
  fs::create_directories(root, ec);
  if (makeOwnStore(root / DEFAULT_STORE_NAME))
    names.push_back(DEFAULT_STORE_NAME);
  return names;
}

StoreLayout recogniseLayout(const fs::path &storeDir, LayoutEvidence *evidence)
{
  bool topMaildir = false, dotFolder = false, inbox = false, ownFolder = false;
  std::vector<std::string> dirs = directoriesIn(storeDir);
  auto answer = [&](StoreLayout layout, LayoutEvidence how) {
    if (evidence)
      *evidence = how;
    return layout;
  };
  for (const std::string &name : dirs) {
    if (name == INBOX_NAME)
      return answer(StoreLayout::Own, LayoutEvidence::Folder);
    if (name == "cur" || name == "new")
      topMaildir = true;
    else if (name.front() == '.')
      dotFolder = dotFolder || (parseMaildirPlusPlusName(name) && isMaildirPlusPlusFolder(storeDir / name));
    else if (equalsNoCase(name, INBOX_NAME))
      inbox = true;
    else if (name != "tmp")
      ownFolder = ownFolder || isDirectory(storeDir / name / "cur") || isDirectory(storeDir / name / "new");
  }
  if (inbox)
    return answer(StoreLayout::Nested, LayoutEvidence::Folder);
  if (dotFolder)
    return answer(StoreLayout::MaildirPlusPlus, LayoutEvidence::Folder);
  // A folder of a tree without an Inbox: mail that comes to its top later
  // does not make it Maildir++, whose folders are never such directories.
  if (ownFolder)
    return answer(StoreLayout::Own, LayoutEvidence::Folder);
  if (topMaildir)
    return answer(StoreLayout::MaildirPlusPlus, LayoutEvidence::TopMaildir);
  return answer(StoreLayout::Own, LayoutEvidence::None);
}

fs::path layoutFolderDir(const fs::path &storeDir, StoreLayout layout, const std::vector<std::string> &folder)
{
  if (layout != StoreLayout::MaildirPlusPlus) {
    fs::path p = storeDir;
    for (const std::string &part : folder)
      p /= part;
    return p;
  }
  if (folder.empty())
    return storeDir;
  std::string name;
  for (const std::string &part : folder)
    name += "." + part;
  return storeDir / name;
}

std::optional<std::vector<std::string>> parseMaildirPlusPlusName(std::string_view dirName)
{
  if (dirName.size() < 2 || dirName.front() != '.')
    return std::nullopt;
  std::vector<std::string> folder;
  std::size_t start = 1;
  for (;;) {
    std::size_t dot = dirName.find('.', start);
    std::string part(dirName.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (!isValidDirName(part) || !isSubfolderName(part))
      return std::nullopt;
    folder.push_back(std::move(part));
    if (dot == std::string_view::npos)
      return folder;
    start = dot + 1;
  }
}

std::vector<std::vector<std::string>> maildirPlusPlusFolders(const fs::path &storeDir)
{
  std::vector<std::vector<std::string>> out;
  for (const std::string &name : directoriesIn(storeDir))
    if (auto folder = parseMaildirPlusPlusName(name))
      if (isMaildirPlusPlusFolder(storeDir / name))
        out.push_back(std::move(*folder));
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> childFolderNames(const fs::path &storeDir, StoreLayout layout,
                                          const std::vector<std::string> &folder)
{
  if (layout != StoreLayout::MaildirPlusPlus)
    return listSubfolders(layoutFolderDir(storeDir, layout, folder));
  std::set<std::string> names;
  for (const std::vector<std::string> &f : maildirPlusPlusFolders(storeDir))
    if (f.size() > folder.size() && std::equal(folder.begin(), folder.end(), f.begin()))
      names.insert(f[folder.size()]);
  return {names.begin(), names.end()};
}

std::optional<std::string> folderComponent(StoreLayout layout, const std::u16string &displayName)
{
  if (displayName.empty())
    return std::nullopt;
  std::string out;
  if (layout == StoreLayout::MaildirPlusPlus) {
    if (displayName.find_first_of(u"./") != std::u16string::npos)
      return std::nullopt;
    out = encodeImapUtf7(displayName);
  } else {
    out = folderDirName(displayName);
  }
  if (!isValidDirName(out) || !isSubfolderName(out))
    return std::nullopt;
  return out;
}

std::u16string componentDisplayName(StoreLayout layout, const std::string &component)
{
  if (layout != StoreLayout::MaildirPlusPlus)
    return folderDisplayName(component);
  if (auto name = decodeImapUtf7(component))
    return *name;
  return utf8ToUtf16(component); // not written by an IMAP server: as it is
}

std::vector<std::string> standardFolder(const fs::path &storeDir, StoreLayout layout, StandardFolder which)
{
  if (which == StandardFolder::Inbox) {
    if (layout == StoreLayout::MaildirPlusPlus)
      return {};
    if (layout == StoreLayout::Own || isDirectory(storeDir / INBOX_NAME))
      return {INBOX_NAME};
    for (const std::string &name : listSubfolders(storeDir))
      if (equalsNoCase(name, INBOX_NAME))
        return {name};
    return {"INBOX"};
  }
  std::vector<std::string> names = standardNames(layout, which);
  std::vector<std::string> present = childFolderNames(storeDir, layout, {});
  for (const std::string &name : names)
    if (std::binary_search(present.begin(), present.end(), name))
      return {name};
  return {names.front()};
}

bool makeFolderDir(const fs::path &storeDir, StoreLayout layout, const std::vector<std::string> &folder)
{
  if (layout != StoreLayout::MaildirPlusPlus) {
    // The folders on the way are made only when missing; the folder itself
    // gets whatever of cur/, new/ and tmp/ it lacks.
    fs::path p = storeDir;
    for (std::size_t i = 0; i + 1 < folder.size(); ++i) {
      p /= folder[i];
      if (!isDirectory(p) && !ensureMaildir(p))
        return false;
    }
    return ensureMaildir(layoutFolderDir(storeDir, layout, folder));
  }
  // The mark goes only into folders made here: another program's folder
  // stays as it is.
  fs::path dir = layoutFolderDir(storeDir, layout, folder);
  bool existed = isDirectory(dir);
  if (!ensureMaildir(dir))
    return false;
  if (folder.empty() || existed)
    return true;
  int fd = open((dir / "maildirfolder").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0)
    close(fd);
  return fd >= 0 || errno == EEXIST;
}

bool makeOwnStore(const fs::path &storeDir)
{
  // The Inbox before the top Maildir: whoever meets the store half made
  // recognises it as the program's own.
  if (mkdir(storeDir.c_str(), 0700) != 0 && errno != EEXIST)
    return false;
  bool ok = ensureMaildir(storeDir / INBOX_NAME);
  ok = ensureMaildir(storeDir) && ok;
  for (const char *name : {OUTBOX_NAME, SENT_ITEMS_NAME, DELETED_ITEMS_NAME, DRAFTS_NAME})
    ok = ensureMaildir(storeDir / name) && ok;
  return ok;
}

fs::path transportPath(const fs::path &transportRoot, const std::string &store,
                       const std::string &unique)
{
  return transportRoot / store / unique;
}
