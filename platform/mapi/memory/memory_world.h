// The memory provider's world: the structures behind memory_mapi.h. Only the
// provider's sources include this.
#pragma once

#include "platform/mapi/memory/memory_mapi.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

// A store, folder or message.
struct MemObject {
  virtual ~MemObject() = default;
  MemWorld *world = nullptr;           // the world that owns it
  ULONG objType = 0;                   // MAPI_STORE, MAPI_FOLDER or MAPI_MESSAGE
  ULONG serial = 0;                    // its number in the world, from 1
  MapiEntryBytes id;                   // its entry id
  MemStore *store = nullptr;           // the store that holds it (a store: itself)
  std::map<ULONG, MapiValue> props;    // stored properties, by property id
};

struct MemFolder : MemObject {
  MemFolder *parent = nullptr;          // the folder that holds it; null for a top folder
  std::vector<MemFolder *> children;    // direct subfolders, in table order
  std::vector<MemMessage *> messages;   // messages, in table order
};

struct MemMessage : MemObject {
  MemFolder *folder = nullptr;          // the folder that holds it; null once removed
  std::optional<std::string> text;      // the whole Internet text, when it has one
};

struct MemStore : MemObject {
  MemFolder *top = nullptr;             // the top folder
  MemFolder *receive = nullptr;         // the receive folder, or null
};

// One pending fault of memFailCall/memThrowOnCall/memFailAlways, or action
// of memRunOnCall.
struct MemFault {
  MapiCall call;                // the method it applies to (Any: every method)
  ULONG remaining;              // calls still to pass; the fault fires when it reaches 0
  HRESULT result;               // what the call returns
  bool raise;                   // throw MapiInjectedFault instead
  bool always;                  // fires at every matching call, never consumed
  std::function<void()> action; // when set: run, and the call goes on as usual
};

// One logged-on session of the provider.
struct MemSession {
  MemWorld *world;      // the world it sees
  MapiEventSink events; // where its changes go
};

struct MemWorld {
  std::mutex lock;                                 // guards everything below
  ULONG worldSerial = 0;                           // distinguishes this world's entry ids
  std::vector<std::unique_ptr<MemObject>> objects; // every object, index serial - 1
  std::vector<MemStore *> stores;                  // in stores-table order
  std::vector<MemSession *> sessions;              // sessions logged on
  bool notify = true;                              // post changes
  bool autoDownload = false;                       // complete downloads when they are requested
  ULONG posted = 0;                                // events posted so far
  std::vector<MemFault> faults;                    // pending faults
  std::array<ULONG, static_cast<std::size_t>(MapiCall::Count)> calls{}; // calls per method
  HRESULT initializeResult = S_OK;                 // what MAPIInitialize gets
  HRESULT logonResult = S_OK;                      // what MAPILogonEx gets
  MapiProvider provider{};                         // the table over this world
};

// Internal helpers; the caller holds world->lock.
MemObject *memLocked_find(MemWorld *world, const MapiEntryBytes &id);
void memLocked_post(MemWorld *world, const std::vector<MapiEvent> &events, bool ignoreMask);
MapiEvent memLocked_event(ULONG eventType, MemObject *object);
void memLocked_changed(MemObject *object); // posts fnevObjectModified when notifying
void memLocked_complete(MemMessage *message);
bool memLocked_get(MemObject *object, ULONG tag, MapiValue *value); // stored and computed
MemFolder *memLocked_addFolder(MemFolder *parent, std::u16string name);
MemMessage *memLocked_newMessage(MemFolder *folder); // empty, at the end of folder, not posted
std::string memVisibleText(MemMessage *message); // PR_CE_MIME_TEXT as the store shows it
void memFillProvider(MemWorld *world);
