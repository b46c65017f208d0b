// The program's one messaging session and the watchers of its message stores.
//
// Start-up calls openSession once, after the rules and known users are loaded
// and before the timer starts; the timer calls revisitAllStores (pass.h) on
// every tick; shutdown calls closeSession once, after the timer has stopped.
// The dialogs and the command channel use `session` to list stores and to
// open stores, folders and messages by entry id; they must test it for null
// (no messaging system, or after closeSession). All of this is used on the
// main window's thread only, except `session`, which the processing passes
// also read on notification threads while it is open.
#pragma once

#include "engine/mapi_refs.h"
#include "platform/mapi/mapidefs.h"

#include <atomic>
#include <functional>

struct StoreWatcher;

// The session from MAPILogonEx; null before openSession succeeded and after
// closeSession.
extern LPMAPISESSION session;

// One node of the watcher list.
struct WatcherNode {
  StoreWatcher *watcher; // holds one reference, released by closeSession
  WatcherNode *next;     // next node, null at the tail
};

// The watcher list: one node per opened store, the store opened last first.
// Built by openSession, grown by watchNewStores, emptied by closeSession.
extern WatcherNode *watcherList;

// Set by closeSession while it ends the session, so that a pass running on a
// notification thread stops at its next message instead of holding up the
// logoff.
extern std::atomic<bool> sessionClosing;

// Starts the messaging library, logs on, opens every store of the stores
// table and sets up a watcher for each (which runs the store's first full
// Inbox scan). A failure of the library or of the logon leaves `session` null
// and no watcher; a failure to list the stores leaves the session open
// without watchers; a store that cannot be opened is skipped. Nothing is
// reported: the program then runs without processing mail.
void openSession();

// Sets up a watcher for each store of the stores table that has none: a
// store that appeared after the session opened (a Maildir made or linked
// into Mail/ while the program runs). Its set-up, with the store's first
// full Inbox scan, runs on a thread of its own; the watcher joins the
// watcher list at a later call, and closeSession waits for it. A store
// that cannot be opened is tried again at the next call. Called by
// revisitAllStores, on the main window's thread.
void watchNewStores();

// Opens each store of the session's stores table, in the table's order, and
// hands it to visit, which takes over the reference. A row whose store
// cannot be opened is skipped; nothing happens when the table cannot be
// read. Exceptions of the store calls and of visit pass through.
void forEachStore(LPMAPISESSION from, const std::function<void(ComRef<IMsgStore> store)> &visit);

// Opens a message of the session by its entry id (size bytes at id), for
// reading or writing. Null when no session is open, the id is empty or the
// store refuses; an exception a store raises passes through.
ComRef<IMessage> openMessageById(ULONG size, const BYTE *id);

// Ends the session: logs off (which ends every store's notifications and
// waits for a running notification), releases the session, empties the
// watcher list (each watcher goes once its store has let it go too), and
// ends the library's use. Nothing happens when no session is open.
void closeSession();
