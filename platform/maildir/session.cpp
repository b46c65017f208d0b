#include "platform/errline/errline.h"
#include "platform/fs/temporaries.h"
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/watch_internal.h"

#include "platform/mapi/mapitags.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace maildir {

std::string folderKey(const std::string &store, const std::vector<std::string> &folder)
{
  std::string key = store;
  key += '\0';
  key += joinFolder(folder);
  return key;
}

fs::path storeDir(const Session &s, const std::string &store) { return s.mailRoot / store; }

std::vector<std::string> storeNames(const Session &s)
{
  return s.options.create ? listStoreNames(s.mailRoot) : existingStoreNames(s.mailRoot);
}

void noteLayout(Session &s, const std::string &store)
{
  if (s.layouts.count(store))
    return;
  LayoutEvidence evidence = LayoutEvidence::None;
  StoreLayout layout = recogniseLayout(storeDir(s, store), &evidence);
  // A store seen appearing may be half made, and every layout may start
  // with its top Maildir: only a folder settles it.
  if (evidence == LayoutEvidence::Folder ||
      (evidence == LayoutEvidence::TopMaildir && !s.appearedStores.count(store))) {
    s.layouts[store] = layout;
    s.appearedStores.erase(store);
  }
}

StoreLayout layoutOf(const Session &s, const std::string &store)
{
  auto it = s.layouts.find(store);
  return it != s.layouts.end() ? it->second : recogniseLayout(storeDir(s, store));
}

fs::path folderDir(const Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  return layoutFolderDir(storeDir(s, store), layoutOf(s, store), folder);
}

std::string folderPath(const Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  std::string p = s.mailRoot.native();
  p += '/';
  p += store;
  if (folder.empty())
    return p;
  bool dotted = layoutOf(s, store) == StoreLayout::MaildirPlusPlus;
  if (dotted)
    p += '/';
  for (const std::string &part : folder) {
    p += dotted ? '.' : '/';
    p += part;
  }
  return p;
}

std::vector<std::string> standardFolderOf(const Session &s, const std::string &store, StandardFolder which)
{
  return standardFolder(storeDir(s, store), layoutOf(s, store), which);
}

bool folderExists(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  if (isWatched(s, store, folder))
    return true;
  struct stat st;
  if (stat(folderPath(s, store, folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return true;
  if (folder.size() == 1)
    for (StandardFolder which : {StandardFolder::Inbox, StandardFolder::Outbox, StandardFolder::SentItems,
                                 StandardFolder::DeletedItems, StandardFolder::Drafts})
      if (standardFolderOf(s, store, which) == folder)
        return true;
  if (layoutOf(s, store) != StoreLayout::MaildirPlusPlus)
    return false;
  for (const auto &f : maildirPlusPlusFolders(storeDir(s, store)))
    if (f.size() > folder.size() && std::equal(folder.begin(), folder.end(), f.begin()))
      return true;
  return false;
}

bool makeFolder(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  if (isWatched(s, store, folder))
    return true; // there; what it lacks is made when a rename finds it missing
  // The folders on the way that a nested tree lacks are made too.
  std::vector<std::vector<std::string>> missing;
  for (std::size_t depth = layoutOf(s, store) == StoreLayout::MaildirPlusPlus ? folder.size() : 1;
       depth <= folder.size(); ++depth) {
    std::vector<std::string> f(folder.begin(), folder.begin() + depth);
    struct stat st;
    if (stat(folderPath(s, store, f).c_str(), &st) != 0)
      missing.push_back(std::move(f));
  }
  if (!makeFolderDir(storeDir(s, store), layoutOf(s, store), folder))
    return false;
  // Watched from now on, so that their arrival is known as this session's own.
  for (const auto &f : missing) {
    watchFolderTree(s, store, f);
    post(s, {objectEvent(fnevObjectCreated, folderId(store, f))});
  }
  return true;
}

std::vector<std::vector<std::string>> foldersBelow(const Session &s, const std::string &store,
                                                   const std::vector<std::string> &folder)
{
  std::vector<std::vector<std::string>> out;
  if (layoutOf(s, store) == StoreLayout::MaildirPlusPlus) {
    if (folder.empty())
      out = maildirPlusPlusFolders(storeDir(s, store));
    return out;
  }
  for (const std::string &name : listSubfolders(folderDir(s, store, folder))) {
    out.push_back(folder);
    out.back().push_back(name);
  }
  return out;
}

bool isWatched(const Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  return s.inotifyFd >= 0 && s.watchedFolders.count(folderKey(store, folder)) > 0;
}

std::optional<MaildirId> decodeId(const MapiEntryBytes &bytes)
{
  thread_local MapiEntryBytes lastBytes;
  thread_local std::optional<MaildirId> lastId;
  if (bytes != lastBytes) {
    lastId = decodeMaildirId(bytes);
    lastBytes = bytes;
  }
  return lastId;
}

MapiEntryBytes idBytes(const MaildirId &id) { return encodeMaildirId(id); }

namespace {

// Files of a folder whose status is remembered at most; beyond that the
// remembered ones are forgotten and checked on disk again when next used.
constexpr std::size_t CHECKED_FILES_KEPT = 4096;

std::unordered_map<std::string, MessageFile> scanFolder(const fs::path &dir)
{
  std::unordered_map<std::string, MessageFile> out;
  for (MessageFile &m : listMessageFiles(dir)) {
    std::string unique(splitMaildirName(m.fileName).unique);
    if (unique.empty() || !isValidDirName(unique))
      continue;
    // The same unique name twice (a half-finished move by another program):
    // the one in cur/ wins, as it is the later state.
    auto it = out.find(unique);
    if (it != out.end() && !it->second.inNew)
      continue;
    out[unique] = std::move(m);
  }
  return out;
}

} // namespace

FolderState &loadedFolder(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  FolderState &f = s.folders[folderKey(store, folder)];
  if (!f.loaded) {
    f.messages = scanFolder(folderDir(s, store, folder));
    f.loaded = true;
  }
  return f;
}

void refreshFolder(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  ++s.changes;
  FolderState &f = s.folders[folderKey(store, folder)];
  auto now = scanFolder(folderDir(s, store, folder));
  // What was checked stays true while the folder is watched and the name is
  // the same (an event about the file would have dropped it).
  bool watched = isWatched(s, store, folder);
  for (auto it = f.checked.begin(); it != f.checked.end();) {
    auto file = now.find(it->first);
    auto before = f.messages.find(it->first);
    bool same = watched && file != now.end() && before != f.messages.end() &&
                file->second.fileName == before->second.fileName && file->second.inNew == before->second.inNew;
    it = same ? std::next(it) : f.checked.erase(it);
  }
  if (!f.loaded) {
    f.messages = std::move(now);
    f.loaded = true;
    return;
  }
  std::vector<MapiEvent> events;
  bool receive = isReceiveFolder(s, store, folder);
  for (const auto &[unique, file] : now) {
    auto it = f.messages.find(unique);
    MaildirId id = messageId(store, folder, unique);
    if (it == f.messages.end()) {
      events.push_back(objectEvent(fnevObjectCreated, id));
      if (receive && file.inNew) {
        MapiEvent mail = objectEvent(fnevNewMail, id);
        mail.objType = MAPI_MESSAGE;
        mail.messageFlags = messageFlagsOf(file);
        events.push_back(mail);
      }
    } else if (it->second.fileName != file.fileName || it->second.inNew != file.inNew) {
      events.push_back(objectEvent(fnevObjectModified, id));
    }
  }
  for (const auto &[unique, file] : f.messages)
    if (!now.count(unique))
      events.push_back(objectEvent(fnevObjectDeleted, messageId(store, folder, unique)));
  f.messages = std::move(now);
  post(s, events);
}

SideEntries &folderSide(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  FolderState &f = s.folders[folderKey(store, folder)];
  if (!f.sideLoaded) {
    // A side file is read once per session: what a killed save left goes first.
    removeStaleTemporaries(folderDir(s, store, folder), SIDE_FILE_NAME);
    f.side = readSideFile(folderDir(s, store, folder));
    f.sideLoaded = true;
  }
  return f.side;
}

std::optional<FoundMessage> findMessage(Session &s, const MaildirId &id)
{
  if (id.kind != 'M')
    return std::nullopt;
  bool watched = isWatched(s, id.store, id.folder);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1 && watched) {
      // A watched folder's index is kept by its events: once the queued
      // ones are taken (a client's renames are there), a name the index
      // lacks is not in the folder. Reading the folder whole here made
      // sorting quadratic while a client renamed, as the program's own
      // moves bring events all the time.
      readEvents(s);
      if (!isWatched(s, id.store, id.folder))
        return std::nullopt; // the folder went
    } else if (attempt == 1) {
      refreshFolder(s, id.store, id.folder);
    }
    FolderState &f = loadedFolder(s, id.store, id.folder);
    auto it = f.messages.find(id.unique);
    if (it == f.messages.end())
      continue;
    FoundMessage found;
    found.file = it->second;
    found.path = folderPath(s, id.store, id.folder);
    found.path += found.file.inNew ? "/new/" : "/cur/";
    found.path += found.file.fileName;
    if (watched) {
      auto c = f.checked.find(id.unique);
      if (c != f.checked.end()) {
        found.st.st_mode = S_IFREG;
        found.st.st_ino = c->second.ino;
        found.st.st_size = c->second.size;
        found.st.st_mtim = c->second.mtime;
        return found;
      }
    }
    // A link, FIFO or device in a folder is no message: it is never opened.
    if (lstat(found.path.c_str(), &found.st) == 0) {
      if (S_ISREG(found.st.st_mode)) {
        if (watched) {
          // Kept for the files being worked on, not for a whole large Inbox.
          if (f.checked.size() >= CHECKED_FILES_KEPT)
            f.checked.clear();
          f.checked[id.unique] = CheckedFile{found.st.st_ino, found.st.st_size, found.st.st_mtim, std::nullopt};
        }
        return found;
      }
      reportUnreadable(s, found.path, EINVAL);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void reportUnreadable(Session &s, const std::string &path, int error)
{
  std::lock_guard<std::mutex> g(s.reportLock);
  if (!s.reported.insert(path).second)
    return;
  writeErrorLine(path + ": message not read (" + (error == EINVAL ? "not a regular file" : std::strerror(error)) +
                 "); it is left as it is");
}

bool isReceiveFolder(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  if (layoutOf(s, store) == StoreLayout::MaildirPlusPlus)
    return folder.empty();
  return folder.size() == 1 && folder == standardFolderOf(s, store, StandardFolder::Inbox);
}

void post(Session &s, const std::vector<MapiEvent> &events)
{
  if (!s.events || !s.events->post)
    return;
  // One event per delivery: a sink may look at the first notification of
  // an array only, as the program's store watcher does.
  for (const MapiEvent &e : events)
    s.events->post(s.events->frontEnd, &e, 1, false);
}

MapiEvent objectEvent(ULONG eventType, const MaildirId &object, const MaildirId *oldObject)
{
  MapiEvent e;
  e.eventType = eventType;
  e.objType = object.kind == 'M' ? MAPI_MESSAGE : object.kind == 'F' ? MAPI_FOLDER : MAPI_STORE;
  e.store = idBytes(storeId(object.store));
  e.id = idBytes(object);
  auto parentOf = [](const MaildirId &o) -> MapiEntryBytes {
    if (o.kind == 'M')
      return idBytes(folderId(o.store, o.folder));
    if (o.kind == 'F' && !o.folder.empty()) {
      std::vector<std::string> up(o.folder.begin(), o.folder.end() - 1);
      return idBytes(folderId(o.store, up));
    }
    return {};
  };
  e.parent = parentOf(object);
  if (oldObject) {
    e.oldId = idBytes(*oldObject);
    e.oldParent = parentOf(*oldObject);
  }
  return e;
}

ULONG messageFlagsOf(const MessageFile &file)
{
  std::string_view info = splitMaildirName(file.fileName).info;
  ULONG flags = 0;
  if (hasMaildirFlag(info, 'S'))
    flags |= MSGFLAG_READ;
  if (hasMaildirFlag(info, 'D'))
    flags |= MSGFLAG_UNSENT;
  return flags;
}

bool isPartial(Session &s, const MaildirId &id)
{
  CheckedFile *checked = nullptr;
  if (isWatched(s, id.store, id.folder)) {
    auto &files = loadedFolder(s, id.store, id.folder).checked;
    auto it = files.find(id.unique);
    if (it != files.end()) {
      checked = &it->second;
      if (checked->partial)
        return *checked->partial;
    }
  }
  bool partial;
  auto names = s.transportNames.find(id.store);
  if (names != s.transportNames.end()) {
    partial = names->second.count(id.unique) > 0;
  } else {
    struct stat st;
    std::string p = s.transportRoot.native() + '/' + id.store + '/' + id.unique;
    partial = stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  if (checked)
    checked->partial = partial;
  return partial;
}

void noteTransport(Session &s, const std::string &store, const std::string &unique, bool present)
{
  ++s.changes;
  auto names = s.transportNames.find(store);
  if (names == s.transportNames.end())
    return;
  if (present)
    names->second.insert(unique);
  else
    names->second.erase(unique);
}

void forgetExpected(Session &s, const std::string &path)
{
  auto it = s.expectedEvents.find(path);
  if (it != s.expectedEvents.end())
    s.expectedEvents.erase(it);
}

void expectEvent(Session &s, const std::string &path)
{
  if (s.inotifyFd < 0)
    return;
  // Events of an unwatched place never come to consume theirs.
  if (s.expectedEvents.size() > 4096)
    s.expectedEvents.clear();
  s.expectedEvents.insert(path);
}

ULONG messageStatusOf(Session &s, const MaildirId &id)
{
  const SideEntries &side = folderSide(s, id.store, id.folder);
  auto it = side.find(id.unique);
  ULONG status = it != side.end() && it->second.status ? *it->second.status : 0;
  if (!isPartial(s, id))
    return status & ~DOWNLOAD_BITS;
  if (!(status & (MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL)))
    status |= MSGSTATUS_HEADERONLY;
  return status;
}

namespace {

// Puts `full` in place of the file at path, only while a file is there: a
// file renamed meanwhile (a flag change by another program) is looked up
// again rather than duplicated under its old name.
bool exchangeIn(const fs::path &full, const fs::path &path)
{
  if (renameat2(AT_FDCWD, full.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
    unlink(full.c_str()); // now the header-only text
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && rename(full.c_str(), path.c_str()) == 0;
}

} // namespace

bool completeDownload(Session &s, const MaildirId &id)
{
  ++s.changes;
  fs::path textPath = transportPath(s.transportRoot, id.store, id.unique);
  auto text = readWholeFile(textPath);
  if (!text)
    return false;
  fs::path dir = folderDir(s, id.store, id.folder);
  bool replaced = false;
  for (int attempt = 0; attempt < 3 && !replaced; ++attempt) {
    auto found = findMessage(s, id);
    if (!found)
      return false;
    auto tmp = writeTmpFile(dir, makeUniqueName(), *text, found->st.st_mtime);
    if (!tmp)
      return false;
    expectEvent(s, found->path);
    replaced = exchangeIn(*tmp, found->path);
    if (!replaced) {
      forgetExpected(s, found->path);
      unlink(tmp->c_str());
    }
  }
  if (!replaced)
    return false;
  loadedFolder(s, id.store, id.folder).checked.erase(id.unique);
  // The text leaves the transport area before the side file changes: should
  // the process die in between, the download bits no longer count.
  expectEvent(s, textPath.native());
  unlink(textPath.c_str());
  noteTransport(s, id.store, id.unique, false);
  updateSideFile(dir, [&](SideEntries &entries) {
    auto it = entries.find(id.unique);
    if (it == entries.end() || !it->second.status)
      return false;
    *it->second.status &= ~DOWNLOAD_BITS;
    if (*it->second.status == 0)
      it->second.status.reset();
    if (it->second.empty())
      entries.erase(it);
    folderSide(s, id.store, id.folder) = entries;
    return true;
  });
  post(s, {objectEvent(fnevObjectModified, id)});
  return true;
}

} // namespace maildir
