// inotify events turned into the store's change events. Events are hints:
// before one becomes a notification the disk is asked, and the session's
// index says whether anything changed (changes this session made itself are
// in the index already, or announced as expected, and are not posted twice).
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/watch_internal.h"

#include "platform/mapi/mapitags.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace maildir {

namespace {

// The other half of a rename, when it was seen; removed from the list.
std::optional<PendingMove> takePending(Session &s, uint32_t cookie)
{
  for (auto it = s.pendingMoves.begin(); it != s.pendingMoves.end(); ++it)
    if (it->cookie == cookie) {
      PendingMove p = *it;
      s.pendingMoves.erase(it);
      return p;
    }
  return std::nullopt;
}

void sideFileChanged(Session &s, const Watch &w, std::vector<MapiEvent> &out)
{
  FolderState &f = s.folders[folderKey(w.store, w.folder)];
  SideEntries now = readSideFile(folderDir(s, w.store, w.folder));
  if (f.sideLoaded) {
    std::set<std::string> changed;
    for (const auto &[unique, e] : now) {
      auto it = f.side.find(unique);
      if (it == f.side.end() || !(it->second == e))
        changed.insert(unique);
    }
    for (const auto &kv : f.side)
      if (!now.count(kv.first))
        changed.insert(kv.first);
    for (const std::string &unique : changed)
      if (f.messages.count(unique))
        out.push_back(objectEvent(fnevObjectModified, messageId(w.store, w.folder, unique)));
  }
  f.side = std::move(now);
  f.sideLoaded = true;
}

// A message whose file left a folder for good.
void messageGone(Session &s, const std::string &store, const std::vector<std::string> &folder,
                 const std::string &name, bool inNew, std::vector<MapiEvent> &out)
{
  FolderState &f = loadedFolder(s, store, folder);
  std::string unique(splitMaildirName(name).unique);
  auto it = f.messages.find(unique);
  if (it == f.messages.end() || it->second.fileName != name || it->second.inNew != inNew)
    return;
  f.messages.erase(it);
  out.push_back(objectEvent(fnevObjectDeleted, messageId(store, folder, unique)));
}

void folderGone(Session &s, const std::string &store, const std::vector<std::string> &folder,
                std::vector<MapiEvent> &out)
{
  if (!s.watchedFolders.count(folderKey(store, folder)))
    return;
  unwatchFolderTree(s, store, folder);
  out.push_back(objectEvent(fnevObjectDeleted, folderId(store, folder)));
}

} // namespace

void flushPending(Session &s, bool all, std::vector<MapiEvent> &out)
{
  ++s.changes;
  for (auto it = s.pendingMoves.begin(); it != s.pendingMoves.end();) {
    // readsSeen counts the reads since the first half came; the second
    // half is queued by the same rename, so one more read brings it.
    if (!all && it->readsSeen < 2) {
      ++it;
      continue;
    }
    PendingMove p = *it;
    it = s.pendingMoves.erase(it);
    auto w = s.watches.find(p.wd);
    if (w == s.watches.end())
      continue;
    Watch from = w->second;
    if (p.isDir) {
      auto folder = folderOfEntry(s, from, p.name);
      if (folder && !pathExists(folderPath(s, from.store, *folder)))
        folderGone(s, from.store, *folder, out);
    } else {
      if (!pathExists(messageFilePath(s, from, p.name)))
        messageGone(s, from.store, from.folder, p.name, from.kind == Watch::New, out);
    }
  }
}

namespace {

// own: this session replaced the file (its expected event).
void messageArrived(Session &s, const Watch &w, const inotify_event *ev, const std::string &name,
                    bool own, std::vector<MapiEvent> &out)
{
  bool inNew = w.kind == Watch::New;
  std::string unique(splitMaildirName(name).unique);
  if (unique.empty() || !isValidDirName(unique))
    return;
  FolderState &f = loadedFolder(s, w.store, w.folder);
  MessageFile file{name, inNew};
  if (own) {
    auto known = f.messages.find(unique);
    if (known != f.messages.end() && known->second.fileName == name && known->second.inNew == inNew)
      return; // this session's own change, known already
  }
  if (!pathExists(messageFilePath(s, w, name)))
    return; // renamed again already: its later events tell where it went
  MaildirId id = messageId(w.store, w.folder, unique);

  std::optional<PendingMove> from;
  if (ev->mask & IN_MOVED_TO)
    from = takePending(s, ev->cookie);
  if (from && !from->isDir) {
    auto fw = s.watches.find(from->wd);
    if (fw != s.watches.end()) {
      const Watch &src = fw->second;
      std::string oldUnique(splitMaildirName(from->name).unique);
      bool sameFolder = src.store == w.store && src.folder == w.folder;
      FolderState &srcFolder = loadedFolder(s, src.store, src.folder);
      auto old = srcFolder.messages.find(oldUnique);
      bool wasKnown = old != srcFolder.messages.end() && old->second.fileName == from->name;
      if (wasKnown && oldUnique == unique) {
        if (!sameFolder)
          srcFolder.messages.erase(old);
        f.messages[unique] = file;
        MaildirId oldId = messageId(src.store, src.folder, oldUnique);
        out.push_back(sameFolder ? objectEvent(fnevObjectModified, id)
                                 : objectEvent(fnevObjectMoved, id, &oldId));
        return;
      }
      if (wasKnown) {
        srcFolder.messages.erase(old);
        out.push_back(objectEvent(fnevObjectDeleted, messageId(src.store, src.folder, oldUnique)));
      }
    }
  }
  auto it = f.messages.find(unique);
  if (it != f.messages.end()) {
    // Known under this name: this session's own rename, or a text replaced
    // under the same name (by this session when it was expected).
    if (it->second.fileName == file.fileName && it->second.inNew == inNew && own)
      return;
    it->second = file;
    out.push_back(objectEvent(fnevObjectModified, id));
    return;
  }
  f.messages[unique] = file;
  out.push_back(objectEvent(fnevObjectCreated, id));
  if (inNew && isReceiveFolder(s, w.store, w.folder)) {
    MapiEvent mail = objectEvent(fnevNewMail, id);
    mail.messageFlags = messageFlagsOf(file);
    out.push_back(mail);
  }
}

} // namespace

void announceMessages(Session &s, const std::string &store, const std::vector<std::string> &folder,
                      std::vector<MapiEvent> &out)
{
  bool receive = isReceiveFolder(s, store, folder);
  for (const auto &[unique, file] : loadedFolder(s, store, folder).messages) {
    MaildirId id = messageId(store, folder, unique);
    out.push_back(objectEvent(fnevObjectCreated, id));
    if (receive && file.inNew) {
      MapiEvent mail = objectEvent(fnevNewMail, id);
      mail.messageFlags = messageFlagsOf(file);
      out.push_back(mail);
    }
  }
  if (folder.size() >= MAX_FOLDER_DEPTH)
    return;
  for (const std::vector<std::string> &child : foldersBelow(s, store, folder))
    if (s.watchedFolders.count(folderKey(store, child)))
      announceMessages(s, store, child, out);
}

std::optional<std::vector<std::string>> folderOfEntry(const Session &s, const Watch &w, const std::string &name)
{
  if (layoutOf(s, w.store) == StoreLayout::MaildirPlusPlus) {
    if (!w.folder.empty())
      return std::nullopt;
    return parseMaildirPlusPlusName(name);
  }
  if (!isSubfolderName(name))
    return std::nullopt;
  std::vector<std::string> folder = w.folder;
  folder.push_back(name);
  return folder;
}

namespace {

void folderArrived(Session &s, const Watch &w, const inotify_event *ev, const std::vector<std::string> &folder,
                   std::vector<MapiEvent> &out)
{
  if (folder.size() > MAX_FOLDER_DEPTH || !pathExists(folderPath(s, w.store, folder)))
    return;
  std::optional<PendingMove> from;
  if (ev->mask & IN_MOVED_TO)
    from = takePending(s, ev->cookie);
  if (s.watchedFolders.count(folderKey(w.store, folder)))
    return; // made by this session
  if (from && from->isDir) {
    auto fw = s.watches.find(from->wd);
    if (fw != s.watches.end()) {
      Watch src = fw->second;
      auto old = folderOfEntry(s, src, from->name);
      if (old) {
        unwatchFolderTree(s, src.store, *old);
        watchFolderTree(s, w.store, folder);
        MaildirId oldId = folderId(src.store, *old);
        out.push_back(objectEvent(fnevObjectMoved, folderId(w.store, folder), &oldId));
        return;
      }
    }
  }
  watchFolderTree(s, w.store, folder);
  out.push_back(objectEvent(fnevObjectCreated, folderId(w.store, folder)));
  // What came with it (a folder copied in, or filled before its watch was
  // there) is new to the store too.
  announceMessages(s, w.store, folder, out);
}

// True when this session announced the event at path itself; consumes it.
bool takeExpected(Session &s, const std::string &path)
{
  auto it = s.expectedEvents.find(path);
  if (it == s.expectedEvents.end())
    return false;
  s.expectedEvents.erase(it);
  return true;
}

// A full text came to or left the store's transport area: the message with
// that unique name changed its status.
void transportChanged(Session &s, const Watch &w, const std::string &name, std::vector<MapiEvent> &out)
{
  fs::path path = s.transportRoot / w.store / name;
  bool own = takeExpected(s, path.native());
  std::set<std::string> &names = s.transportNames[w.store];
  if (pathExists(path.native()))
    names.insert(name);
  else
    names.erase(name);
  std::string prefix = w.store + '\0';
  for (auto &[key, folder] : s.folders) {
    if (key.compare(0, prefix.size(), prefix) != 0 || !folder.messages.count(name))
      continue;
    folder.checked.erase(name);
    if (own)
      continue;
    out.push_back(objectEvent(fnevObjectModified, messageId(w.store, splitFolder(key.substr(prefix.size())), name)));
  }
}

// The queue overflowed: every folder is compared with the disk again, and
// each folder is reported modified so that readers look again.
void resyncAll(Session &s, std::vector<MapiEvent> &out)
{
  s.pendingMoves.clear();
  s.expectedEvents.clear();
  std::vector<std::string> stores;
  for (const auto &kv : s.transportNames)
    stores.push_back(kv.first);
  for (const std::string &store : stores)
    watchTransport(s, store);
  std::vector<std::pair<std::string, std::vector<std::string>>> folders;
  for (const auto &kv : s.watches)
    if (kv.second.kind == Watch::FolderDir)
      folders.emplace_back(kv.second.store, kv.second.folder);
  for (const auto &[store, folder] : folders) {
    refreshFolder(s, store, folder);
    Watch w{Watch::FolderDir, store, folder};
    sideFileChanged(s, w, out);
    out.push_back(objectEvent(fnevObjectModified, folderId(store, folder)));
  }
}

void handle(Session &s, const inotify_event *ev, std::vector<MapiEvent> &out)
{
  ++s.changes;
  if (ev->mask & IN_Q_OVERFLOW) {
    resyncAll(s, out);
    return;
  }
  auto it = s.watches.find(ev->wd);
  if (it == s.watches.end())
    return;
  if (ev->mask & IN_IGNORED) {
    bool mailRoot = it->second.kind == Watch::MailRoot;
    s.watches.erase(it);
    if (mailRoot)
      mailRootGone(s); // its watch ended: removed, or on a file system that went
    return;
  }
  Watch w = it->second;
  std::string name = ev->len ? ev->name : "";
  bool isDir = (ev->mask & IN_ISDIR) != 0;
  bool arrived = (ev->mask & (IN_CREATE | IN_MOVED_TO)) != 0;

  if (w.kind == Watch::DataRoot) {
    // The mail root (a directory, or a link to one) came or went.
    if (name != s.mailRoot.filename().native())
      return;
    if (arrived)
      mailRootBack(s);
    else if (std::error_code ec; !fs::is_directory(s.mailRoot, ec))
      mailRootGone(s);
    return;
  }

  if (w.kind == Watch::MailRoot) {
    if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
      mailRootGone(s);
      return;
    }
    if (!isValidDirName(name))
      return;
    // A store may be a symbolic link to a mail tree, whose events do not say
    // directory: one that arrives counts when it leads to a directory, one
    // that leaves when it was a watched store. A link pointed elsewhere
    // (`ln -sfn`) arrives under a watched name: the tree it left is
    // forgotten and the one it leads to watched, as a store that appears.
    bool watched = s.watchedFolders.count(folderKey(name, {})) != 0;
    if (arrived) {
      if (watched && !storeLeadsWhereWatched(s, name)) {
        forgetStore(s, name);
        watched = false;
      }
      std::error_code ec;
      if (!watched && (isDir || fs::is_directory(s.mailRoot / name, ec)))
        watchStore(s, name, true);
    } else if ((isDir || watched) && !pathExists((s.mailRoot / name).native())) {
      forgetStore(s, name);
    }
    return;
  }

  if (w.kind == Watch::FolderDir) {
    fs::path dir = folderDir(s, w.store, w.folder);
    if (!isDir) {
      if (name == SIDE_FILE_NAME)
        sideFileChanged(s, w, out);
      return;
    }
    if (name == "cur" || name == "new") {
      if (arrived) {
        addWatch(s, dir / name, Watch{name == "cur" ? Watch::Cur : Watch::New, w.store, w.folder});
        refreshFolder(s, w.store, w.folder);
      }
      return;
    }
    auto folder = folderOfEntry(s, w, name);
    if (!folder)
      return;
    if (arrived)
      folderArrived(s, w, ev, *folder, out);
    else if (ev->mask & IN_MOVED_FROM)
      s.pendingMoves.push_back(PendingMove{ev->cookie, ev->wd, name, true, 0});
    else if (!pathExists(folderPath(s, w.store, *folder)))
      folderGone(s, w.store, *folder, out);
    return;
  }

  if (w.kind == Watch::Transport) {
    if (!isDir && isMessageFileName(name))
      transportChanged(s, w, name, out);
    return;
  }

  // cur/ or new/
  if (isDir || !isMessageFileName(name))
    return;
  std::string path = messageFilePath(s, w, name);
  // Only arrivals are announced: a replacement also shows its name leaving.
  bool own = arrived && takeExpected(s, path);
  // Whatever happened to the name, its file is to be looked at again.
  loadedFolder(s, w.store, w.folder).checked.erase(std::string(splitMaildirName(name).unique));
  if (arrived) {
    messageArrived(s, w, ev, name, own, out);
    return;
  }
  // A name that is not the one known (this session renamed or moved the
  // file already) says nothing.
  FolderState &f = loadedFolder(s, w.store, w.folder);
  auto known = f.messages.find(std::string(splitMaildirName(name).unique));
  if (known == f.messages.end() || known->second.fileName != name ||
      known->second.inNew != (w.kind == Watch::New))
    return;
  if (pathExists(path))
    return; // replaced in place (a completed download): the name is still there
  if (ev->mask & IN_MOVED_FROM) {
    s.pendingMoves.push_back(PendingMove{ev->cookie, ev->wd, name, false, 0});
    return;
  }
  messageGone(s, w.store, w.folder, name, w.kind == Watch::New, out);
}

} // namespace

bool readEvents(Session &s)
{
  alignas(inotify_event) char buf[64 * 1024];
  bool any = false;
  for (;;) {
    ssize_t n = read(s.inotifyFd, buf, sizeof buf);
    if (n <= 0)
      break;
    any = true;
    std::vector<MapiEvent> out;
    for (PendingMove &p : s.pendingMoves)
      ++p.readsSeen;
    for (char *p = buf; p < buf + n;) {
      auto *ev = reinterpret_cast<inotify_event *>(p);
      handle(s, ev, out);
      p += sizeof(inotify_event) + ev->len;
    }
    flushPending(s, false, out);
    post(s, out);
  }
  return any;
}

} // namespace maildir
