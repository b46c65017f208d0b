// The session's thread: it waits on the inotify queue of the session's
// watches and on its wake-up, hands the queue to watch_events.cpp, and is
// the transport that completes marked downloads. The watches themselves are
// set up here: the mail root, every folder, its cur/ and new/, and each
// store's transport area.
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/transport_area.h"
#include "platform/maildir/watch_internal.h"

#include "platform/mapi/mapidefs.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace maildir {

namespace {

// How long the second half of a rename is waited for once the queue is idle.
constexpr int PAIR_WAIT_MS = 20;

// How long the thread lets events gather once the queue has some. The
// session's own moves come in bursts while the program sorts, each an
// event or two; one wake-up then takes a whole burst, instead of a wake-up
// and a turn at the session's lock per move.
constexpr auto EVENT_GATHER = std::chrono::milliseconds(4);

// The thread: waits for the queue (at most PAIR_WAIT_MS while a rename is
// half seen), handles what came, then completes queued downloads that are
// still marked. Ends when stopping is set.
void run(Session *s)
{
  for (;;) {
    int timeout;
    {
      std::lock_guard<std::mutex> g(s->lock);
      timeout = s->pendingMoves.empty() ? -1 : PAIR_WAIT_MS;
    }
    pollfd fds[2] = {{s->wakeFd, POLLIN, 0}, {s->inotifyFd, POLLIN, 0}};
    int r = poll(fds, s->inotifyFd >= 0 ? 2 : 1, timeout);
    if (r < 0 && errno != EINTR)
      break;
    if (r > 0 && (fds[0].revents & POLLIN)) {
      uint64_t count;
      (void)!read(s->wakeFd, &count, sizeof count); // only the wake-up matters
    } else if (r > 0) {
      std::this_thread::sleep_for(EVENT_GATHER);
    }
    std::unique_lock<std::mutex> g(s->lock);
    if (s->stopping)
      return;
    if (s->inotifyFd >= 0 && !readEvents(*s) && r == 0) {
      std::vector<MapiEvent> out;
      flushPending(*s, true, out);
      post(*s, out);
    }
    while (!s->transportJobs.empty() && !s->stopping) {
      TransportJob job = s->transportJobs.front();
      s->transportJobs.pop_front();
      // Still marked? The mark may have been withdrawn meanwhile.
      if (messageStatusOf(*s, job.message) & MSGSTATUS_REMOTE_DOWNLOAD)
        completeDownload(*s, job.message);
    }
  }
}

} // namespace

bool pathExists(const std::string &p)
{
  struct stat st;
  return lstat(p.c_str(), &st) == 0;
}

// The path of a name in a folder's new/ or cur/.
std::string messageFilePath(const Session &s, const Watch &w, const std::string &name)
{
  return folderPath(s, w.store, w.folder) + (w.kind == Watch::New ? "/new/" : "/cur/") + name;
}

int addWatch(Session &s, const fs::path &p, Watch w, uint32_t events)
{
  int wd = inotify_add_watch(s.inotifyFd, p.c_str(), events);
  if (wd >= 0)
    s.watches[wd] = std::move(w);
  return wd;
}

namespace {

// In a Maildir++ store a folder's directory holds no other folder: only
// the store's own directory takes every folder with it.
bool isUnder(const Watch &w, const std::string &store, const std::vector<std::string> &folder, bool exact)
{
  return w.kind != Watch::MailRoot && w.kind != Watch::DataRoot && w.store == store &&
         (exact ? w.folder == folder
                : w.folder.size() >= folder.size() && std::equal(folder.begin(), folder.end(), w.folder.begin()));
}

} // namespace

void unwatchFolderTree(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  ++s.changes;
  bool exact = !folder.empty() && layoutOf(s, store) == StoreLayout::MaildirPlusPlus;
  for (auto it = s.watches.begin(); it != s.watches.end();) {
    if (isUnder(it->second, store, folder, exact)) {
      inotify_rm_watch(s.inotifyFd, it->first);
      it = s.watches.erase(it);
    } else {
      ++it;
    }
  }
  std::string prefix = folderKey(store, folder);
  // The folder's own key, and the keys of the folders below it ("A/..."
  // for "A", every folder of the store for its top folder).
  auto below = [&](const std::string &key) {
    if (key.compare(0, prefix.size(), prefix) != 0)
      return false;
    return key.size() == prefix.size() || folder.empty() || (!exact && key[prefix.size()] == '/');
  };
  for (auto it = s.watchedFolders.begin(); it != s.watchedFolders.end();)
    it = below(it->first) ? s.watchedFolders.erase(it) : std::next(it);
  for (auto it = s.folders.begin(); it != s.folders.end();)
    it = below(it->first) ? s.folders.erase(it) : std::next(it);
}

void watchFolderTree(Session &s, const std::string &store, const std::vector<std::string> &folder)
{
  if (s.inotifyFd < 0 || folder.size() > MAX_FOLDER_DEPTH)
    return;
  std::string key = folderKey(store, folder);
  if (s.watchedFolders.count(key))
    return;
  fs::path dir = folderDir(s, store, folder);
  int wd = addWatch(s, dir, Watch{Watch::FolderDir, store, folder});
  if (wd < 0)
    return;
  // Lookups trust a watched folder's index, so a folder counts as watched
  // only when its cur/ and new/ are watched too, or do not exist yet (their
  // creation is seen). Otherwise (out of watches) every access checks the disk.
  for (const char *sub : {"cur", "new"})
    if (addWatch(s, dir / sub, Watch{sub[0] == 'c' ? Watch::Cur : Watch::New, store, folder}) < 0 &&
        errno != ENOENT) {
      unwatchFolderTree(s, store, folder);
      return;
    }
  s.watchedFolders[key] = wd;
  cleanTmp(dir);
  // Known only from now on, so that what arrived before the watches is
  // not missed.
  refreshFolder(s, store, folder);
  folderSide(s, store, folder);
  for (const std::vector<std::string> &child : foldersBelow(s, store, folder))
    watchFolderTree(s, store, child);
}

void watchTransport(Session &s, const std::string &store)
{
  if (s.inotifyFd < 0)
    return;
  fs::path dir = s.transportRoot / store;
  std::error_code ec;
  if (s.options.create) {
    fs::create_directories(dir, ec);
    sweepTransportArea(dir); // what deliveries killed midway left
  }
  if (addWatch(s, dir, Watch{Watch::Transport, store, {}}) < 0)
    return;
  // Known from the watch on: what is there now, then every change.
  ++s.changes;
  std::set<std::string> &names = s.transportNames[store];
  names.clear();
  for (const auto &e : fs::directory_iterator(dir, ec))
    if (isMessageFileName(e.path().filename().native()))
      names.insert(e.path().filename().native());
}

void watchStore(Session &s, const std::string &store, bool announce)
{
  if (announce) // it appeared while watched: perhaps half made
    s.appearedStores.insert(store);
  struct stat st;
  if (stat((s.mailRoot / store).c_str(), &st) == 0)
    s.storeDirs[store] = {st.st_dev, st.st_ino};
  noteLayout(s, store);
  watchFolderTree(s, store, {});
  watchTransport(s, store);
  resumeDownloads(s, store);
  if (announce) {
    std::vector<MapiEvent> out;
    announceMessages(s, store, {}, out);
    post(s, out);
  }
}

void forgetStore(Session &s, const std::string &store)
{
  s.layouts.erase(store);
  s.transportNames.erase(store);
  s.storeDirs.erase(store);
  unwatchFolderTree(s, store, {});
}

bool storeLeadsWhereWatched(const Session &s, const std::string &store)
{
  auto it = s.storeDirs.find(store);
  struct stat st;
  if (it == s.storeDirs.end() || stat((s.mailRoot / store).c_str(), &st) != 0)
    return true;
  return it->second == std::pair<dev_t, ino_t>{st.st_dev, st.st_ino};
}

void resumeDownloads(Session &s, const std::string &store)
{
  auto names = s.transportNames.find(store);
  if (!s.options.autoTransport || names == s.transportNames.end())
    return;
  std::string prefix = store + '\0';
  for (auto &[key, folder] : s.folders) {
    if (key.compare(0, prefix.size(), prefix) != 0 || !folder.sideLoaded)
      continue;
    for (const auto &[unique, entry] : folder.side)
      if (entry.status && (*entry.status & MSGSTATUS_REMOTE_DOWNLOAD) && names->second.count(unique) &&
          folder.messages.count(unique))
        queueTransport(s, messageId(store, splitFolder(key.substr(prefix.size())), unique));
  }
}

void queueTransport(Session &s, const MaildirId &message)
{
  s.transportJobs.push_back(TransportJob{message});
  uint64_t one = 1;
  (void)!write(s.wakeFd, &one, sizeof one); // a full counter still wakes the thread
}

void startWatcher(Session &s)
{
  s.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (s.options.watch) {
    s.inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::lock_guard<std::mutex> g(s.lock);
    if (s.inotifyFd >= 0) {
      // A session that may not make the mail root waits for it to appear.
      watchMailRoot(s);
      for (const std::string &store : storeNames(s))
        watchStore(s, store, false);
    }
  }
  s.thread = std::thread(run, &s);
}

void stopWatcher(Session &s)
{
  {
    std::lock_guard<std::mutex> g(s.lock);
    s.stopping = true;
  }
  uint64_t one = 1;
  (void)!write(s.wakeFd, &one, sizeof one);
  if (s.thread.joinable())
    s.thread.join();
  if (s.inotifyFd >= 0)
    close(s.inotifyFd);
  close(s.wakeFd);
  s.inotifyFd = s.wakeFd = -1;
}

} // namespace maildir
