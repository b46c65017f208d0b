// The memory provider's world: building scenes, looking at them, properties,
// the transport, notifications and faults.
#include "platform/clock/clock.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/memory/memory_world.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<ULONG> nextWorldSerial{1}; // each world's ids differ from every other's

constexpr BYTE ID_MARK = 'M';          // first provider byte of every memory entry id
constexpr std::size_t ID_SIZE = 14;    // 4 flag bytes, mark, type, world serial, serial

void putU32(MapiEntryBytes &out, ULONG v)
{
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

ULONG getU32(const MapiEntryBytes &in, std::size_t at)
{
  ULONG v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<ULONG>(in[at + i]) << (8 * i);
  return v;
}

template <class T>
T *newObject(MemWorld *world, ULONG objType, MemStore *store)
{
  auto object = std::make_unique<T>();
  T *raw = object.get();
  raw->world = world;
  raw->objType = objType;
  raw->serial = static_cast<ULONG>(world->objects.size() + 1);
  raw->id = {0, 0, 0, 0, ID_MARK, static_cast<BYTE>(objType)};
  putU32(raw->id, world->worldSerial);
  putU32(raw->id, raw->serial);
  raw->store = store;
  world->objects.push_back(std::move(object));
  return raw;
}

void storeProp(MemObject *object, const MapiValue &value)
{
  object->props[PROP_ID(value.tag)] = value;
}

MemFolder *specialFolder(MemStore *store, ULONG tag)
{
  auto it = store->props.find(PROP_ID(tag));
  if (it == store->props.end() || it->second.tag != tag)
    return nullptr;
  return dynamic_cast<MemFolder *>(memLocked_find(store->world, it->second.bytes));
}

ULONG statusOf(MemObject *object)
{
  auto it = object->props.find(PROP_ID(PR_MSG_STATUS));
  return it == object->props.end() ? 0 : static_cast<ULONG>(it->second.l);
}

constexpr ULONG INCOMPLETE = MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL;

} // namespace

// ---- Internal helpers ------------------------------------------------------------

MemObject *memLocked_find(MemWorld *world, const MapiEntryBytes &id)
{
  if (id.size() != ID_SIZE || id[4] != ID_MARK || getU32(id, 6) != world->worldSerial)
    return nullptr;
  ULONG serial = getU32(id, 10);
  if (serial == 0 || serial > world->objects.size())
    return nullptr;
  MemObject *object = world->objects[serial - 1].get();
  if (object->id != id)
    return nullptr;
  if (auto *m = dynamic_cast<MemMessage *>(object); m && !m->folder)
    return nullptr;
  return object;
}

void memLocked_post(MemWorld *world, const std::vector<MapiEvent> &events, bool ignoreMask)
{
  if (events.empty())
    return;
  world->posted += static_cast<ULONG>(events.size());
  for (MemSession *session : world->sessions)
    session->events.post(session->events.frontEnd, events.data(),
                         static_cast<ULONG>(events.size()), ignoreMask);
}

MapiEvent memLocked_event(ULONG eventType, MemObject *object)
{
  MapiEvent e;
  e.eventType = eventType;
  e.objType = object->objType;
  e.store = object->store->id;
  e.id = object->id;
  if (auto *f = dynamic_cast<MemFolder *>(object); f && f->parent)
    e.parent = f->parent->id;
  if (auto *m = dynamic_cast<MemMessage *>(object)) {
    if (m->folder)
      e.parent = m->folder->id;
    auto it = m->props.find(PROP_ID(PR_MESSAGE_FLAGS));
    e.messageFlags = it == m->props.end() ? 0 : static_cast<ULONG>(it->second.l);
  }
  return e;
}

void memLocked_changed(MemObject *object)
{
  if (object->world->notify)
    memLocked_post(object->world, {memLocked_event(fnevObjectModified, object)}, false);
}

void memLocked_complete(MemMessage *message)
{
  ULONG status = statusOf(message);
  status &= ~(MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL | MSGSTATUS_PARTIAL_DOWNLOAD |
              MSGSTATUS_REMOTE_DOWNLOAD | MSGSTATUS_REMOTE_DOWNLOAD_HEADER);
  storeProp(message, mapiLong(PR_MSG_STATUS, static_cast<LONG>(status)));
}

bool memLocked_get(MemObject *object, ULONG tag, MapiValue *value)
{
  ULONG pid = PROP_ID(tag);
  auto *folder = dynamic_cast<MemFolder *>(object);
  auto *message = dynamic_cast<MemMessage *>(object);
  if (pid == PROP_ID(PR_PARENT_ENTRYID)) {
    MemFolder *parent = folder ? folder->parent : message ? message->folder : nullptr;
    if (!parent)
      return false;
    *value = mapiBinary(PR_PARENT_ENTRYID, parent->id);
    return true;
  }
  if (pid == PROP_ID(PR_STORE_ENTRYID)) {
    *value = mapiBinary(PR_STORE_ENTRYID, object->store->id);
    return true;
  }
  if (folder && pid == PROP_ID(PR_CONTENT_COUNT)) {
    *value = mapiLong(PR_CONTENT_COUNT, static_cast<LONG>(folder->messages.size()));
    return true;
  }
  if (folder && pid == PROP_ID(PR_CONTENT_UNREAD)) {
    LONG unread = 0;
    for (MemMessage *m : folder->messages) {
      auto it = m->props.find(PROP_ID(PR_MESSAGE_FLAGS));
      if (it == m->props.end() || !(it->second.l & MSGFLAG_READ))
        ++unread;
    }
    *value = mapiLong(PR_CONTENT_UNREAD, unread);
    return true;
  }
  if (folder && pid == PROP_ID(PR_SUBFOLDERS)) {
    *value = mapiBool(PR_SUBFOLDERS, folder->children.empty() ? 0 : 1);
    return true;
  }
  auto it = object->props.find(pid);
  if (it == object->props.end())
    return false;
  // Another type than asked comes back as stored, under its own tag.
  *value = it->second;
  return true;
}

MemFolder *memLocked_addFolder(MemFolder *parent, std::u16string name)
{
  MemFolder *folder = newObject<MemFolder>(parent->world, MAPI_FOLDER, parent->store);
  folder->parent = parent;
  storeProp(folder, mapiText(PR_DISPLAY_NAME, std::move(name)));
  parent->children.push_back(folder);
  if (parent->world->notify)
    memLocked_post(parent->world, {memLocked_event(fnevObjectCreated, folder)}, false);
  return folder;
}

MemMessage *memLocked_newMessage(MemFolder *folder)
{
  MemMessage *m = newObject<MemMessage>(folder->world, MAPI_MESSAGE, folder->store);
  m->folder = folder;
  folder->messages.push_back(m);
  return m;
}

// ---- The world -------------------------------------------------------------------

MemWorld *memCreate()
{
  auto *world = new MemWorld;
  world->worldSerial = nextWorldSerial++;
  memFillProvider(world);
  return world;
}

void memDestroy(MemWorld *world)
{
  if (!world)
    return;
  {
    std::lock_guard<std::mutex> guard(world->lock);
    if (!world->sessions.empty()) {
      // A session still uses it: keeping it (and letting the leak show) is
      // safer than freeing what a session may still reach.
      std::fprintf(stderr, "memory provider: %zu session(s) still open; world kept\n",
                   world->sessions.size());
      return;
    }
  }
  delete world;
}

const MapiProvider *memProvider(MemWorld *world) { return &world->provider; }

MemInstall::MemInstall() : world(memCreate())
{
  MAPISetProvider(memProvider(world));
  (void)MAPIInitialize(nullptr); // the memory provider starts unless a test asks otherwise
}

MemInstall::~MemInstall()
{
  MAPIUninitialize();
  if (MAPIGetProvider() == memProvider(world))
    MAPISetProvider(nullptr);
  memDestroy(world);
}

// ---- Building a scene ----------------------------------------------------------

MemStore *memAddStore(MemWorld *world, std::u16string name, bool standardFolders)
{
  std::lock_guard<std::mutex> guard(world->lock);
  MemStore *store = newObject<MemStore>(world, MAPI_STORE, nullptr);
  store->store = store;
  storeProp(store, mapiText(PR_DISPLAY_NAME, name));
  MemFolder *top = newObject<MemFolder>(world, MAPI_FOLDER, store);
  storeProp(top, mapiText(PR_DISPLAY_NAME, name));
  store->top = top;
  storeProp(store, mapiBinary(PR_IPM_SUBTREE_ENTRYID, top->id));
  world->stores.push_back(store);
  if (standardFolders) {
    bool notify = world->notify;
    world->notify = false; // a new store's folders are not news to anyone
    struct Standard {
      const char16_t *name; // folder name
      ULONG tag;            // the store property naming it
    };
    for (const Standard &s : {Standard{u"Inbox", PR_CE_IPM_INBOX_ENTRYID},
                              Standard{u"Outbox", PR_IPM_OUTBOX_ENTRYID},
                              Standard{u"Sent Items", PR_IPM_SENTMAIL_ENTRYID},
                              Standard{u"Deleted Items", PR_IPM_WASTEBASKET_ENTRYID},
                              Standard{u"Drafts", PR_CE_IPM_DRAFTS_ENTRYID}}) {
      MemFolder *f = memLocked_addFolder(top, s.name);
      storeProp(store, mapiBinary(s.tag, f->id));
      if (s.tag == PR_CE_IPM_INBOX_ENTRYID)
        store->receive = f;
    }
    world->notify = notify;
  }
  return store;
}

MemFolder *memTop(MemStore *store) { return store->top; }

MemFolder *memInbox(MemStore *store)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  return store->receive;
}

MemFolder *memDeletedItems(MemStore *store)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  return specialFolder(store, PR_IPM_WASTEBASKET_ENTRYID);
}

MemFolder *memOutbox(MemStore *store)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  return specialFolder(store, PR_IPM_OUTBOX_ENTRYID);
}

MemFolder *memSentItems(MemStore *store)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  return specialFolder(store, PR_IPM_SENTMAIL_ENTRYID);
}

MemFolder *memDrafts(MemStore *store)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  return specialFolder(store, PR_CE_IPM_DRAFTS_ENTRYID);
}

void memSetReceiveFolder(MemStore *store, MemFolder *folder)
{
  std::lock_guard<std::mutex> guard(store->world->lock);
  store->receive = folder;
}

MemFolder *memAddFolder(MemFolder *parent, std::u16string name)
{
  std::lock_guard<std::mutex> guard(parent->world->lock);
  return memLocked_addFolder(parent, std::move(name));
}

MemMessage *memAddMessage(MemFolder *folder, const MemMessageFields &fields)
{
  MemWorld *world = folder->world;
  std::lock_guard<std::mutex> guard(world->lock);
  MemMessage *m = memLocked_newMessage(folder);
  m->text = fields.text;
  storeProp(m, mapiText(PR_MESSAGE_CLASS, u"IPM.Note"));
  auto text = [&](ULONG tag, const std::optional<std::u16string> &v) {
    if (v)
      storeProp(m, mapiText(tag, *v));
  };
  text(PR_SENDER_EMAIL_ADDRESS, fields.from);
  text(PR_SENDER_NAME, fields.fromName);
  text(PR_DISPLAY_TO, fields.to);
  text(PR_DISPLAY_CC, fields.cc);
  text(PR_SUBJECT, fields.subject);
  LONG size = fields.size ? *fields.size : static_cast<LONG>(fields.text ? fields.text->size() : 0);
  storeProp(m, mapiLong(PR_CE_MESSAGE_SIZE, size));
  storeProp(m, mapiLong(PR_MESSAGE_SIZE, size));
  ULONG flags = fields.read ? MSGFLAG_READ : 0;
  if (fields.attach && *fields.attach == 1)
    flags |= MSGFLAG_HASATTACH;
  storeProp(m, mapiLong(PR_MESSAGE_FLAGS, static_cast<LONG>(flags)));
  if (fields.attach)
    storeProp(m, mapiBool(PR_HASATTACH, *fields.attach));
  if (!fields.noDeliveryTime) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    storeProp(m, mapiTime(PR_MESSAGE_DELIVERY_TIME, fields.delivered ? *fields.delivered : fileTimeToU64(now)));
  }
  ULONG status = fields.status | (fields.headerOnly ? MSGSTATUS_HEADERONLY : 0);
  storeProp(m, mapiLong(PR_MSG_STATUS, static_cast<LONG>(status)));
  if (world->notify) {
    memLocked_post(world, {memLocked_event(fnevObjectCreated, m)}, false);
    if (folder == folder->store->receive)
      memLocked_post(world, {memLocked_event(fnevNewMail, m)}, false);
  }
  return m;
}

void memRemoveMessage(MemMessage *message)
{
  MemWorld *world = message->world;
  std::lock_guard<std::mutex> guard(world->lock);
  MemFolder *folder = message->folder;
  if (!folder)
    return;
  MapiEvent gone = memLocked_event(fnevObjectDeleted, message);
  std::erase(folder->messages, message);
  message->folder = nullptr;
  if (world->notify)
    memLocked_post(world, {gone}, false);
}

// ---- Looking at the world ---------------------------------------------------------

std::vector<MemStore *> memStores(MemWorld *world)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return world->stores;
}

MemFolder *memChild(MemFolder *parent, std::u16string_view name)
{
  std::lock_guard<std::mutex> guard(parent->world->lock);
  for (MemFolder *child : parent->children) {
    auto it = child->props.find(PROP_ID(PR_DISPLAY_NAME));
    if (it != child->props.end() && it->second.text == name)
      return child;
  }
  return nullptr;
}

std::vector<MemFolder *> memFolders(MemFolder *folder)
{
  std::lock_guard<std::mutex> guard(folder->world->lock);
  return folder->children;
}

std::vector<MemMessage *> memMessages(MemFolder *folder)
{
  std::lock_guard<std::mutex> guard(folder->world->lock);
  return folder->messages;
}

MemFolder *memFolderOf(MemMessage *message)
{
  std::lock_guard<std::mutex> guard(message->world->lock);
  return message->folder;
}

MemFolder *memParentFolder(MemFolder *folder)
{
  std::lock_guard<std::mutex> guard(folder->world->lock);
  return folder->parent;
}

MemStore *memStoreOf(MemObject *object)
{
  std::lock_guard<std::mutex> guard(object->world->lock); // a move to another store changes it
  return object->store;
}

std::u16string memName(MemFolder *folder)
{
  std::lock_guard<std::mutex> guard(folder->world->lock);
  auto it = folder->props.find(PROP_ID(PR_DISPLAY_NAME));
  return it == folder->props.end() ? std::u16string() : it->second.text;
}

MapiEntryBytes memEntryId(MemObject *object) { return object->id; }

MemObject *memFind(MemWorld *world, const MapiEntryBytes &id)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return memLocked_find(world, id);
}

MemFolder *memFindFolder(MemWorld *world, const MapiEntryBytes &id)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return dynamic_cast<MemFolder *>(memLocked_find(world, id));
}

MemMessage *memFindMessage(MemWorld *world, const MapiEntryBytes &id)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return dynamic_cast<MemMessage *>(memLocked_find(world, id));
}

MemObject *memObject(MemStore *store) { return store; }
MemObject *memObject(MemFolder *folder) { return folder; }
MemObject *memObject(MemMessage *message) { return message; }

// ---- Properties ----------------------------------------------------------------------

bool memGetProp(MemObject *object, ULONG tag, MapiValue *value)
{
  std::lock_guard<std::mutex> guard(object->world->lock);
  auto it = object->props.find(PROP_ID(tag));
  if (it == object->props.end() || it->second.tag != tag)
    return false;
  *value = it->second;
  return true;
}

LONG memGetLong(MemObject *object, ULONG tag)
{
  MapiValue v;
  return memGetProp(object, tag, &v) ? v.l : 0;
}

void memSetProp(MemObject *object, const MapiValue &value, bool notify)
{
  std::lock_guard<std::mutex> guard(object->world->lock);
  storeProp(object, value);
  if (notify)
    memLocked_changed(object);
}

void memRemoveProp(MemObject *object, ULONG tag)
{
  std::lock_guard<std::mutex> guard(object->world->lock);
  auto it = object->props.find(PROP_ID(tag));
  if (it != object->props.end() && it->second.tag == tag)
    object->props.erase(it);
}

// ---- The transport ----------------------------------------------------------------------

void memCompleteDownload(MemMessage *message)
{
  std::lock_guard<std::mutex> guard(message->world->lock);
  memLocked_complete(message);
  memLocked_changed(message);
}

void memSetAutoDownload(MemWorld *world, bool on)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->autoDownload = on;
}

// The text PR_CE_MIME_TEXT shows: only the header section, up to and including
// the empty line that ends it, while the message is incomplete.
std::string memVisibleText(MemMessage *message)
{
  const std::string &text = *message->text;
  if (!(statusOf(message) & INCOMPLETE))
    return text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 4, "\r\n\r\n") == 0)
      return text.substr(0, i + 4);
    if (text.compare(i, 2, "\n\n") == 0)
      return text.substr(0, i + 2);
  }
  return text;
}

// ---- Notifications -------------------------------------------------------------------------

MapiEvent memEvent(ULONG eventType, MemObject *object)
{
  std::lock_guard<std::mutex> guard(object->world->lock);
  return memLocked_event(eventType, object);
}

void memPostEvents(MemWorld *world, const std::vector<MapiEvent> &events, bool ignoreMask)
{
  std::lock_guard<std::mutex> guard(world->lock);
  memLocked_post(world, events, ignoreMask);
}

void memSetNotify(MemWorld *world, bool on)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->notify = on;
}

ULONG memPostedCount(MemWorld *world)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return world->posted;
}

// ---- Faults ----------------------------------------------------------------------------------

void memFailCall(MemWorld *world, MapiCall call, ULONG nth, HRESULT hr)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->faults.push_back(MemFault{call, nth == 0 ? 1 : nth, hr, false, false, {}});
}

void memThrowOnCall(MemWorld *world, MapiCall call, ULONG nth)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->faults.push_back(MemFault{call, nth == 0 ? 1 : nth, MAPI_E_CALL_FAILED, true, false, {}});
}

void memRunOnCall(MemWorld *world, MapiCall call, ULONG nth, std::function<void()> action)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->faults.push_back(MemFault{call, nth == 0 ? 1 : nth, S_OK, false, false, std::move(action)});
}

void memFailAlways(MemWorld *world, MapiCall call, HRESULT hr)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->faults.push_back(MemFault{call, 1, hr, false, true, {}});
}

void memClearFaults(MemWorld *world)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->faults.clear();
  world->initializeResult = S_OK;
  world->logonResult = S_OK;
}

ULONG memCallCount(MemWorld *world, MapiCall call)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return world->calls[static_cast<std::size_t>(call)];
}

void memFailInitialize(MemWorld *world, HRESULT hr)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->initializeResult = hr;
}

void memFailLogon(MemWorld *world, HRESULT hr)
{
  std::lock_guard<std::mutex> guard(world->lock);
  world->logonResult = hr;
}

ULONG memOpenSessions(MemWorld *world)
{
  std::lock_guard<std::mutex> guard(world->lock);
  return static_cast<ULONG>(world->sessions.size());
}
