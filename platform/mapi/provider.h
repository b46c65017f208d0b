// The message-store provider interface: one table of operations per back end
// (the Maildir provider, the memory provider of the tests). The messaging
// library's objects (sessions, stores, folders, messages, tables, streams,
// subscriptions, buffers) are written once, over this table; a provider deals
// only in entry-id bytes and plain values.
//
// Threads: the library calls a session's operations from any thread, several at
// once (the program's main thread and the notification thread); a provider
// guards its own state. No operation is called after logoff has begun.
// Results: S_OK or an HRESULT of mapicode.h, passed on to the caller of the
// interface method. A provider's exceptions are caught by the library and
// become MAPI_E_CALL_FAILED (MAPI_E_NOT_ENOUGH_MEMORY for std::bad_alloc),
// except MapiInjectedFault, which the library lets through on purpose.
#pragma once

#include "platform/mapi/mapidefs.h"

#include <exception>
#include <string>
#include <vector>

// An entry id's bytes as a provider issues them, the four flag bytes included.
// The library compares ids by size and bytes and never looks inside.
using MapiEntryBytes = std::vector<BYTE>;

// One property value in the provider's terms. PROP_TYPE(tag) says which member
// holds it; the others are unused.
struct MapiValue {
  ULONG tag = 0;           // full property tag
  LONG l = 0;              // PT_LONG, PT_I2, PT_BOOLEAN (the 16 bits as stored), PT_ERROR's SCODE
  ULONGLONG u64 = 0;       // PT_SYSTIME as a file-time count, PT_I8
  std::u16string text;     // PT_UNICODE
  std::vector<BYTE> bytes; // PT_BINARY; PT_STRING8 without its terminator
};

MapiValue mapiLong(ULONG tag, LONG value);
MapiValue mapiBool(ULONG tag, unsigned short value);
MapiValue mapiTime(ULONG tag, ULONGLONG fileTime);
MapiValue mapiText(ULONG tag, std::u16string text);
MapiValue mapiBinary(ULONG tag, std::vector<BYTE> bytes);

// What the library needs to know of an object before it opens it.
struct MapiObjectInfo {
  ULONG objType = 0;       // MAPI_STORE, MAPI_FOLDER or MAPI_MESSAGE
  MapiEntryBytes store;    // the store that holds it (a store: its own id)
  MapiEntryBytes parent;   // the folder that holds it; empty for a store and a store's root
};

// A change in a store, reported by the provider, delivered by the library to
// the store's subscriptions (IMsgStore::Advise) as a NOTIFICATION.
struct MapiEvent {
  ULONG eventType = 0;     // one fnev* value
  ULONG objType = 0;       // object events: MAPI_STORE, MAPI_FOLDER or MAPI_MESSAGE
  MapiEntryBytes store;    // the store it happened in: chooses the subscriptions
  MapiEntryBytes id;       // the object (new mail: the message; moves and copies: its new id)
  MapiEntryBytes parent;   // the folder that holds it now; empty for a store
  MapiEntryBytes oldId;    // moves and copies: the former id; else empty
  MapiEntryBytes oldParent; // moves and copies: the former folder; else empty
  ULONG messageFlags = 0;  // new mail: the message's PR_MESSAGE_FLAGS
};

// The library's side of a session, given to the provider at logon. post queues
// count events and returns at once; they are delivered in order, in one
// OnNotify call per subscription (an array of the events that pass its mask;
// with ignoreMask all of them), on the session's notification thread. post may
// be called from any thread, with the provider's locks held, until logoff
// returns; it never calls into the provider.
struct MapiEventSink {
  void (*post)(void *frontEnd, const MapiEvent *events, ULONG count, bool ignoreMask);
  void *frontEnd; // the library's session state; pass it back to post
};

// The interface methods, for fault injection (MapiProvider::enter).
enum class MapiCall {
  Any,                       // matches every call below (fault injection only)
  SessionGetMsgStoresTable,
  SessionOpenMsgStore,
  SessionOpenEntry,
  SessionLogoff,
  StoreAdvise,
  StoreUnadvise,
  StoreOpenEntry,
  StoreGetReceiveFolder,
  PropGetProps,
  PropSetProps,
  PropOpenProperty,
  ContainerGetContentsTable,
  ContainerGetHierarchyTable,
  FolderCreateFolder,
  FolderCopyMessages,
  TableSetColumns,
  TableQueryRows,
  TableGetRowCount,
  StreamRead,
  Count                      // number of values; not a call
};

// The text name of a call ("PropGetProps"), for test messages.
const char *mapiCallName(MapiCall call);

// Thrown only by a provider's fault injection, to test that callers' catch-all
// handlers hold; the library lets it out of the interface method.
struct MapiInjectedFault : std::exception {
  const char *what() const noexcept override { return "injected messaging fault"; }
};

// One back end. Entries marked optional may be null.
struct MapiProvider {
  const char *name; // for diagnostics ("maildir", "memory")
  void *backend;    // the provider's own state, passed to initialize and logon

  // Optional. Called by every MAPIInitialize; a failure fails it.
  HRESULT (*initialize)(void *backend);

  // Opens a session: *session receives the provider's per-session state,
  // passed to every operation below. events stays valid until logoff returns.
  // A failure fails MAPILogonEx with that result (no logoff follows).
  HRESULT (*logon)(void *backend, const MapiEventSink *events, void **session);

  // Ends a session, after its last object was released. Must not fail; no
  // operation of the session runs at the same time or later, and the provider
  // stops posting its events before it returns.
  void (*logoff)(void *session);

  // Optional. Called at the start of every interface method named by MapiCall
  // (before its arguments are checked). S_OK lets the method run; any other
  // result is the method's result. May throw MapiInjectedFault.
  HRESULT (*enter)(void *session, MapiCall call);

  // The stores, in the order of the stores table.
  HRESULT (*listStores)(void *session, std::vector<MapiEntryBytes> *stores);

  // What the id names. MAPI_E_NOT_FOUND when nothing (any more), MAPI_E_INVALID_ENTRYID
  // when the bytes cannot be one of this provider's ids.
  HRESULT (*locate)(void *session, const MapiEntryBytes &id, MapiObjectInfo *info);

  // Reads one property of an object. tag's type may be PT_UNSPECIFIED (any
  // type). MAPI_E_NOT_FOUND when the object lacks it. value->tag is normally
  // the requested tag (with the stored type for PT_UNSPECIFIED); a provider may
  // answer a value of another type, which callers then see under its own tag.
  // PR_ENTRYID and PR_OBJECT_TYPE are answered by the library and never asked.
  HRESULT (*getProp)(void *session, const MapiEntryBytes &id, ULONG tag, MapiValue *value);

  // Writes one property of an object at once and posts fnevObjectModified.
  // MAPI_E_NO_ACCESS for a property the provider computes (sizes, folder ids).
  HRESULT (*setProp)(void *session, const MapiEntryBytes &id, const MapiValue &value);

  // The bytes of a binary property opened as a stream (PR_CE_MIME_TEXT of a
  // message: its Internet text, headers first). MAPI_E_NOT_FOUND when absent.
  HRESULT (*readStream)(void *session, const MapiEntryBytes &id, ULONG tag, std::string *bytes);

  // The receive folder of a store for a message class (empty: the default
  // class). MAPI_E_NOT_FOUND when there is none.
  HRESULT (*receiveFolder)(void *session, const MapiEntryBytes &store,
                           const std::u16string &messageClass, MapiEntryBytes *folder);

  // Direct subfolders of a folder, in the order of its hierarchy table.
  HRESULT (*listFolders)(void *session, const MapiEntryBytes &folder,
                         std::vector<MapiEntryBytes> *folders);

  // Messages directly in a folder, in the order of its contents table.
  HRESULT (*listMessages)(void *session, const MapiEntryBytes &folder,
                          std::vector<MapiEntryBytes> *messages);

  // Creates a direct subfolder named exactly name; with openIfExists an
  // existing one of that name (exact comparison) is the result, else
  // MAPI_E_COLLISION. A new folder is posted as fnevObjectCreated.
  HRESULT (*createFolder)(void *session, const MapiEntryBytes &parent, const std::u16string &name,
                          bool openIfExists, MapiEntryBytes *folder);

  // Copies or moves one message from folder `from` (MAPI_E_NOT_FOUND when it
  // is not there) into folder `to`; *result receives the id it has there.
  // Posts fnevObjectMoved or fnevObjectCopied.
  HRESULT (*copyMessage)(void *session, const MapiEntryBytes &message, const MapiEntryBytes &from,
                         const MapiEntryBytes &to, bool move, MapiEntryBytes *result);
};
