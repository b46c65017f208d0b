// The Maildir provider's session: what it knows of the stores' folders and
// messages, shared by the provider's operations, its watcher and its
// transport. Internal to platform/maildir.
#pragma once

#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/maildir/message_content.h"
#include "platform/maildir/message_summary.h"
#include "platform/maildir/side_file.h"
#include "platform/maildir/store_layout.h"

#include <sys/stat.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace maildir {

namespace fs = std::filesystem;

// A message file as last checked on disk: the parts of its status that are
// used (kept per message of a watched folder, so no whole struct stat).
struct CheckedFile {
  ino_t ino = 0;               // its inode
  off_t size = 0;              // its size
  struct timespec mtime = {};  // its modification time
  std::optional<bool> partial; // whether the transport area holds its full text, once asked
};

// What the session knows of one folder.
struct FolderState {
  std::unordered_map<std::string, MessageFile> messages; // its message files, by unique name
  bool loaded = false;                                   // messages reflect a scan of the disk
  // Status of message files as last checked, by unique name. Used only while
  // the folder is watched: then every change of a file comes as an event,
  // which drops its entry; without a watcher every access checks the disk.
  // Bounded (findMessage): a few thousand files at a time.
  std::unordered_map<std::string, CheckedFile> checked;
  SideEntries side;                                      // its side file as last read or written
  bool sideLoaded = false;                               // side holds the file's entries
};

// A message found on disk.
struct FoundMessage {
  std::string path;    // the file
  MessageFile file;    // its name and directory
  struct stat st = {}; // its status when found (of a checked file: type, inode, size and time only)
};

// A watched directory.
struct Watch {
  enum Kind { DataRoot, MailRoot, FolderDir, Cur, New, Transport } kind; // what the directory is
  std::string store;                                // its store (not for DataRoot, MailRoot)
  std::vector<std::string> folder;                  // its folder
};

// A rename whose other half has not been seen yet.
struct PendingMove {
  uint32_t cookie;                 // inotify's pairing cookie
  int wd;                          // the directory it left
  std::string name;                // its name there
  bool isDir;                      // a folder, not a message
  int readsSeen;                   // reads of the queue since it came
};

// A download the transport is to complete.
struct TransportJob {
  MaildirId message; // the message marked for download
};

// A parsed message file, valid while the file is unchanged.
struct CachedContent {
  std::string path;                              // the file
  ino_t ino = 0;                                 // its inode, size and change time when read
  off_t size = 0;
  struct timespec mtime = {};
  std::shared_ptr<const MessageContent> content; // what was read
};

// One logon.
struct Session {
  MaildirOptions options;           // as given to the provider
  fs::path mailRoot;                // <root>/Mail at logon
  fs::path transportRoot;           // <root>/Transport at logon
  const MapiEventSink *events = nullptr; // where changes are posted (null: nowhere)

  std::mutex lock;                  // guards every field below, and the files while it changes them
  std::uint64_t changes = 0;        // counts changes of what the session knows of files, index
                                    // and side files; what was read before a change is stale
  std::map<std::string, FolderState> folders;  // by folderKey
  std::map<std::string, StoreLayout> layouts;  // the layout each store met so far keeps (a store
                                               // with nothing in it yet is recognised anew)
  std::set<std::string> appearedStores;        // stores seen appearing whose layout no folder
                                               // has told yet
  // The directory each watched store's name led to when it was watched
  // (device, inode): a store link pointed elsewhere is another tree.
  std::map<std::string, std::pair<dev_t, ino_t>> storeDirs;

  // The watcher (watcher.cpp); its fields are guarded by lock too.
  int inotifyFd = -1;               // the inotify instance, -1 without a watcher
  int wakeFd = -1;                  // eventfd that wakes the thread (stop, transport jobs)
  std::unordered_map<int, Watch> watches;      // by watch descriptor
  int mailRootWd = -1;                         // the watch of mailRoot, -1 while it is not there
  std::map<std::string, int> watchedFolders;   // folderKey -> the folder directory's descriptor
  std::vector<PendingMove> pendingMoves;       // moved-from halves awaiting their pair
  std::deque<TransportJob> transportJobs;      // marked downloads to complete
  // Paths of file arrivals this session causes (renames, moves, replaced
  // texts, the transport area), so that their events are known as its own;
  // each is consumed by its event.
  std::multiset<std::string> expectedEvents;
  // Names in each watched store's transport area, kept by its watch.
  std::map<std::string, std::set<std::string>> transportNames;
  bool stopping = false;                       // logoff: the thread ends
  std::thread thread;                          // the watcher and transport thread

  std::mutex cacheLock;                        // guards contentCache; taken without lock held
  std::list<CachedContent> contentCache;       // recently read messages, latest first

  std::mutex reportLock;                       // guards reported; taken with or without lock
  std::set<std::string> reported;              // message files said to be unreadable
};

// The provider table's own state.
struct Provider {
  MapiProvider table;     // what MAPISetProvider gets
  MaildirOptions options; // for its sessions
};

// Key of a folder in Session::folders and watchedFolders.
std::string folderKey(const std::string &store, const std::vector<std::string> &folder);

// The stores below the mail root; the default one made when there is none
// and the session may create.
std::vector<std::string> storeNames(const Session &s);

// Recognises a store's layout when the session meets it, and keeps it once
// the store's contents tell.
void noteLayout(Session &s, const std::string &store);

// The layout of a store: the one it had when the session met it.
StoreLayout layoutOf(const Session &s, const std::string &store);

// Directory of a store and of a folder (in the store's layout).
fs::path storeDir(const Session &s, const std::string &store);
fs::path folderDir(const Session &s, const std::string &store, const std::vector<std::string> &folder);
// The same as a plain string, for the paths built once per call.
std::string folderPath(const Session &s, const std::string &store, const std::vector<std::string> &folder);

// True while the session's watcher reports every change of the folder.
bool isWatched(const Session &s, const std::string &store, const std::vector<std::string> &folder);

// The id an entry id's bytes hold, decoded once per thread for repeated
// calls about the same object.
std::optional<MaildirId> decodeId(const MapiEntryBytes &bytes);

// Entry-id bytes.
MapiEntryBytes idBytes(const MaildirId &id);

// ---- With s.lock held -------------------------------------------------------

// The folder's state, scanned from disk when not yet loaded.
FolderState &loadedFolder(Session &s, const std::string &store, const std::vector<std::string> &folder);

// Scans the folder again and posts what changed since the last scan: messages
// created (and new mail for the receive folder), modified (renamed), deleted.
void refreshFolder(Session &s, const std::string &store, const std::vector<std::string> &folder);

// The side entries of a folder, read when not yet loaded.
SideEntries &folderSide(Session &s, const std::string &store, const std::vector<std::string> &folder);

// Finds a message's file: from the index, checked on disk. When the index is
// out of date, a watched folder takes the queued events (a client's renames
// are there) and is never read whole; an unwatched folder is scanned once.
// Nothing when it is not there.
std::optional<FoundMessage> findMessage(Session &s, const MaildirId &id);

// Says once per file on standard error that a message file cannot be read,
// and why; the message is left as it is.
void reportUnreadable(Session &s, const std::string &path, int error);

// True when the folder is the store's receive folder.
bool isReceiveFolder(Session &s, const std::string &store, const std::vector<std::string> &folder);

// The folder that stands for a standard folder of the store (made when the
// program first writes there).
std::vector<std::string> standardFolderOf(const Session &s, const std::string &store, StandardFolder which);

// True when a folder is there: its directory, a standard folder still to be
// made, or in Maildir++ a level with folders below it.
bool folderExists(Session &s, const std::string &store, const std::vector<std::string> &folder);

// Makes a missing folder's directory in its store's layout, watches it and
// posts its creation. False when it cannot be made.
bool makeFolder(Session &s, const std::string &store, const std::vector<std::string> &folder);

// The folders whose directories lie directly below the folder's own, or
// for the top folder of a Maildir++ store every folder of the store: what
// a watch of the folder's directory reports.
std::vector<std::vector<std::string>> foldersBelow(const Session &s, const std::string &store,
                                                   const std::vector<std::string> &folder);

// Posts events, each in a delivery of its own.
void post(Session &s, const std::vector<MapiEvent> &events);

// An object event for a message or folder.
MapiEvent objectEvent(ULONG eventType, const MaildirId &object, const MaildirId *oldObject = nullptr);

// PR_MESSAGE_FLAGS of a message file.
ULONG messageFlagsOf(const MessageFile &file);

// PR_MSG_STATUS of a message: the side file's value, its partial bits only
// while the transport area holds the full text (header-only when it does and
// the side file says nothing).
ULONG messageStatusOf(Session &s, const MaildirId &id);

// Whether the transport area holds the message's full text (remembered
// while the store is watched).
bool isPartial(Session &s, const MaildirId &id);

// Notes a change this session made to a store's transport area in what it
// knows of it (the watch reports it later).
void noteTransport(Session &s, const std::string &store, const std::string &unique, bool present);

// Records a file event this session is about to cause (while watching),
// and takes one back when the change did not happen.
void expectEvent(Session &s, const std::string &path);
void forgetExpected(Session &s, const std::string &path);

// The status bits that describe an incomplete message and its download.
constexpr ULONG DOWNLOAD_BITS = 0x00010000 | 0x00100000 | 0x00080000 | 0x00001000 | 0x00400000;

// Completes a download: the full text replaces the header-only file (same
// name, so flags and id stay), the side file drops the download bits, the
// transport area drops the text; posts fnevObjectModified. False when the
// message or its full text is not there.
bool completeDownload(Session &s, const MaildirId &id);

// ---- The watcher and transport thread (watcher.cpp) ------------------------

// Starts watching every store (and the mail root) and the thread. Without
// watching, starts the thread for the transport only.
void startWatcher(Session &s);
// Stops the thread and closes the descriptors; after it nothing is posted.
void stopWatcher(Session &s);
// Adds watches for a folder and the folders below it (with s.lock held).
void watchFolderTree(Session &s, const std::string &store, const std::vector<std::string> &folder);
// Adds the watch of a store's transport area, made when missing (with s.lock held).
void watchTransport(Session &s, const std::string &store);
// Queues a download for the transport (with s.lock held).
void queueTransport(Session &s, const MaildirId &message);

} // namespace maildir
