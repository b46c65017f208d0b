// What the watcher's two halves share: the watch set-up and thread
// (watcher.cpp) and the turning of inotify events into store events
// (watch_events.cpp). Internal to platform/maildir; every function here is
// called with the session's lock held.
#pragma once

#include "platform/maildir/provider_state.h"

#include <sys/inotify.h>

#include <cstdint>
#include <string>
#include <vector>

namespace maildir {

// The events watched on every directory.
constexpr uint32_t DIR_EVENTS = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// Folder trees deeper than this are not followed (a symbolic link loop).
constexpr std::size_t MAX_FOLDER_DEPTH = 32;

// True when something is at the path (a symbolic link not followed).
bool pathExists(const std::string &p);

// The path of a name in the watched folder's new/ or cur/.
std::string messageFilePath(const Session &s, const Watch &w, const std::string &name);

// Watches a directory; the descriptor, or -1.
int addWatch(Session &s, const fs::path &p, Watch w, uint32_t events = DIR_EVENTS);

// Forgets a folder and everything below it: watches and what is known.
void unwatchFolderTree(Session &s, const std::string &store, const std::vector<std::string> &folder);

// Watches a store met for the first time: its folders, its transport area,
// its downloads left marked; with announce, posts a creation for each of
// its messages (a store that arrived while the session runs).
void watchStore(Session &s, const std::string &store, bool announce);

// Forgets a store whose name went or leads elsewhere now: its layout, its
// transport names, its watches and what is known of its folders.
void forgetStore(Session &s, const std::string &store);

// Whether the store's name still leads to the directory that was watched
// (true when nothing was recorded, or nothing is there to compare).
bool storeLeadsWhereWatched(const Session &s, const std::string &store);

// Posts a creation for every message of a folder and of the folders below it.
void announceMessages(Session &s, const std::string &store, const std::vector<std::string> &folder,
                      std::vector<MapiEvent> &out);

// The folder a directory entry of a watched folder's directory stands for
// (a subfolder in a nested tree, any Maildir++ folder in a Maildir++
// store's own directory); nothing for other entries.
std::optional<std::vector<std::string>> folderOfEntry(const Session &s, const Watch &w, const std::string &name);

// Queues the downloads of a watched store that are marked and not done (a run
// that held its downloads, or was killed, left them), when this session is
// the transport.
void resumeDownloads(Session &s, const std::string &store);

// Watches the data root, for the mail root coming and going, and the mail root.
void watchMailRoot(Session &s);
// The mail root was removed or moved away: every store is forgotten and
// unwatched until it is back; standard error says so once.
void mailRootGone(Session &s);
// The mail root is there (again): watched, with its stores.
void mailRootBack(Session &s);

// Reads and handles every queued inotify event; false when nothing was there.
bool readEvents(Session &s);

// Settles the renames whose second half did not come: all of them, or those
// that have waited for a further read of the queue.
void flushPending(Session &s, bool all, std::vector<MapiEvent> &out);

} // namespace maildir
