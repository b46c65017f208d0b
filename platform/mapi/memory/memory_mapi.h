// The memory provider: message stores held in memory, for tests. A test builds
// a scene (stores, folders, messages with their properties and Internet text),
// installs the provider, and drives what the handheld's messaging system would
// do on its own: new mail, completed downloads, scripted notifications, and
// failures of any call.
//
//   MemInstall mem;                                   // a fresh world, installed
//   MemStore *mail = memAddStore(mem.world, u"Mail");  // Inbox, Outbox, Sent Items,
//                                                     // Deleted Items, Drafts
//   MemMessage *m = memAddMessage(memInbox(mail),
//       {.from = u"ann@example.org", .subject = u"Hi", .size = 20480, .headerOnly = true,
//        .text = "To: bob@example.org\r\n\r\nbody\r\n"});
//   ... run the code under test (MAPIInitialize, MAPILogonEx ...) ...
//   memCompleteDownload(m);                           // the transport finished
//   MAPIWaitForNotifications(5000);                   // sinks have seen it
//   memFailCall(mem.world, MapiCall::FolderCopyMessages, 1, MAPI_E_NO_ACCESS);
//
// Every change, whether made through the messaging interfaces or through the
// functions below, is reported to the sessions' subscriptions as the handheld
// does: on their notification thread, never on the caller's. Objects are never
// freed before the world, so the pointers below stay valid; a removed message
// is detached (no folder, its id no longer opens). The functions here may be
// called from any thread; they take the world's lock.
#pragma once

#include "platform/mapi/mapitags.h"
#include "platform/mapi/provider.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct MemWorld;   // every store of the provider
struct MemObject;  // a store, folder or message
struct MemStore;   // a message store (a MemObject)
struct MemFolder;  // a folder (a MemObject)
struct MemMessage; // a message (a MemObject)

// A message to put into a folder. An unset optional is a missing property.
// Fields in declaration order, for designated initializers.
struct MemMessageFields {
  std::optional<std::u16string> from = std::nullopt;     // PR_SENDER_EMAIL_ADDRESS
  std::optional<std::u16string> fromName = std::nullopt; // PR_SENDER_NAME
  std::optional<std::u16string> to = std::nullopt;       // PR_DISPLAY_TO
  std::optional<std::u16string> cc = std::nullopt;       // PR_DISPLAY_CC
  std::optional<std::u16string> subject = std::nullopt;  // PR_SUBJECT
  std::optional<LONG> size = std::nullopt;      // PR_CE_MESSAGE_SIZE and PR_MESSAGE_SIZE;
                                                // default: the bytes of text
  bool read = false;                            // PR_MESSAGE_FLAGS has MSGFLAG_READ
  std::optional<unsigned short> attach = std::nullopt; // PR_HASATTACH as stored (1 is true)
  std::optional<ULONGLONG> delivered = std::nullopt;   // PR_MESSAGE_DELIVERY_TIME (file time);
                                                       // default: now, by the platform clock
  bool noDeliveryTime = false;                  // true: no PR_MESSAGE_DELIVERY_TIME at all
  ULONG status = 0;                             // PR_MSG_STATUS bits
  bool headerOnly = false;                      // adds MSGSTATUS_HEADERONLY; PR_CE_MIME_TEXT shows
                                                // only the header section until the download completes
  std::optional<std::string> text = std::nullopt; // Internet text (headers, empty line, body) of
                                                  // PR_CE_MIME_TEXT; unset: no such property
};

// ---- The world and its installation -------------------------------------------

// An empty world (no stores). Destroy it after every session on it was released.
MemWorld *memCreate();
void memDestroy(MemWorld *world);

// The provider table over this world, for MAPISetProvider. Lives with the world.
const MapiProvider *memProvider(MemWorld *world);

// For a test's scope: creates a world, installs it with MAPISetProvider and
// calls MAPIInitialize; the destructor undoes all three (clearing the provider
// only when it is still this one).
struct MemInstall {
  MemInstall();
  ~MemInstall();
  MemInstall(const MemInstall &) = delete;
  MemInstall &operator=(const MemInstall &) = delete;
  MemWorld *world; // the installed world
};

// ---- Building a scene ---------------------------------------------------------

// Adds a store named `name` (PR_DISPLAY_NAME) at the end of the stores table.
// With standardFolders, its top folder (PR_IPM_SUBTREE_ENTRYID) holds "Inbox"
// (the receive folder, PR_CE_IPM_INBOX_ENTRYID), "Outbox", "Sent Items",
// "Deleted Items" (PR_IPM_WASTEBASKET_ENTRYID) and "Drafts", with their store
// properties; without, only the top folder exists and no receive folder is set.
MemStore *memAddStore(MemWorld *world, std::u16string name, bool standardFolders = true);

MemFolder *memTop(MemStore *store);          // the top folder
MemFolder *memInbox(MemStore *store);        // the receive folder, or null
MemFolder *memDeletedItems(MemStore *store); // "Deleted Items", or null
MemFolder *memOutbox(MemStore *store);       // "Outbox", or null
MemFolder *memSentItems(MemStore *store);    // "Sent Items", or null
MemFolder *memDrafts(MemStore *store);       // "Drafts", or null

// Sets (null: removes) the store's receive folder.
void memSetReceiveFolder(MemStore *store, MemFolder *folder);

// Adds a subfolder at the end of parent's hierarchy table; posts fnevObjectCreated.
MemFolder *memAddFolder(MemFolder *parent, std::u16string name);

// Adds a message at the end of folder's contents table; posts fnevObjectCreated,
// and fnevNewMail as well when the folder is the store's receive folder.
MemMessage *memAddMessage(MemFolder *folder, const MemMessageFields &fields);

// Removes a message from its folder; posts fnevObjectDeleted.
void memRemoveMessage(MemMessage *message);

// ---- Looking at the world -----------------------------------------------------

std::vector<MemStore *> memStores(MemWorld *world);
MemFolder *memChild(MemFolder *parent, std::u16string_view name); // direct subfolder, exact name, or null
std::vector<MemFolder *> memFolders(MemFolder *folder);           // direct subfolders, in table order
std::vector<MemMessage *> memMessages(MemFolder *folder);         // messages, in table order
MemFolder *memFolderOf(MemMessage *message);                      // null when removed
MemFolder *memParentFolder(MemFolder *folder);                    // null for a top folder
MemStore *memStoreOf(MemObject *object);
std::u16string memName(MemFolder *folder);                         // PR_DISPLAY_NAME
MapiEntryBytes memEntryId(MemObject *object);
MemObject *memFind(MemWorld *world, const MapiEntryBytes &id);     // null when unknown
MemFolder *memFindFolder(MemWorld *world, const MapiEntryBytes &id);   // null unless a folder
MemMessage *memFindMessage(MemWorld *world, const MapiEntryBytes &id); // null unless a message

// The upcasts, for the property functions below.
MemObject *memObject(MemStore *store);
MemObject *memObject(MemFolder *folder);
MemObject *memObject(MemMessage *message);

// ---- Properties ----------------------------------------------------------------

// Reads a stored property by exact tag (PR_ENTRYID and the computed ones are
// not stored). False when missing.
bool memGetProp(MemObject *object, ULONG tag, MapiValue *value);
LONG memGetLong(MemObject *object, ULONG tag); // 0 when missing
// Stores a property (replacing one of the same property id, whatever its type);
// posts fnevObjectModified when notify is set.
void memSetProp(MemObject *object, const MapiValue &value, bool notify = true);
void memRemoveProp(MemObject *object, ULONG tag);

// A property stored under another type than the one asked for comes back as
// stored, under its own tag, with S_OK: the harsher answer for callers that
// must check the tag (real stores answer with a PT_ERROR value).

// ---- The transport ------------------------------------------------------------

// Completes a header-only or partial message: PR_CE_MIME_TEXT shows the whole
// text; MSGSTATUS_HEADERONLY, _PARTIAL, _PARTIAL_DOWNLOAD, _REMOTE_DOWNLOAD and
// _REMOTE_DOWNLOAD_HEADER are cleared; posts fnevObjectModified.
void memCompleteDownload(MemMessage *message);

// When on, a message that SetProps marks for download (MSGSTATUS_REMOTE_DOWNLOAD)
// while header-only or partial is completed at once, as above. Off at first.
void memSetAutoDownload(MemWorld *world, bool on);

// ---- Notifications ----------------------------------------------------------

// An event about an object as the world would post it (store, parent filled in).
MapiEvent memEvent(ULONG eventType, MemObject *object);
// Posts events to every session as one batch: each subscription gets one
// OnNotify with the events of its store that pass its mask (ignoreMask: all
// of its store's events), in order.
void memPostEvents(MemWorld *world, const std::vector<MapiEvent> &events, bool ignoreMask = false);
// When off, changes are not posted (for setting a scene silently). On at first.
void memSetNotify(MemWorld *world, bool on);
// Events posted so far (by changes and by memPostEvents).
ULONG memPostedCount(MemWorld *world);

// ---- Faults -------------------------------------------------------------------

// The nth call of `call` from now on (1: the next one) fails with hr, once;
// MapiCall::Any counts every call. Several faults may be pending.
void memFailCall(MemWorld *world, MapiCall call, ULONG nth, HRESULT hr);
// The same, but the call throws MapiInjectedFault out of the interface method.
void memThrowOnCall(MemWorld *world, MapiCall call, ULONG nth);
// The nth call of `call` from now on first runs action on the calling thread
// (without the world's lock), then goes on as usual; for changes that must
// land in the middle of a caller's work.
void memRunOnCall(MemWorld *world, MapiCall call, ULONG nth, std::function<void()> action);
// Every call of `call` fails with hr until memClearFaults.
void memFailAlways(MemWorld *world, MapiCall call, HRESULT hr);
void memClearFaults(MemWorld *world);
// Calls of `call` (MapiCall::Any: all) since the world was created.
ULONG memCallCount(MemWorld *world, MapiCall call);
// MAPIInitialize and MAPILogonEx fail with hr (S_OK: succeed again).
void memFailInitialize(MemWorld *world, HRESULT hr);
void memFailLogon(MemWorld *world, HRESULT hr);
// Sessions logged on and not yet logged off (their last object not released).
ULONG memOpenSessions(MemWorld *world);
