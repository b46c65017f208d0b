// The memory provider's table of operations over its world.
#include "platform/mapi/memory/memory_world.h"

#include <algorithm>

namespace {

MemWorld *worldOf(void *session) { return static_cast<MemSession *>(session)->world; }

HRESULT initialize(void *backend)
{
  auto *world = static_cast<MemWorld *>(backend);
  std::lock_guard<std::mutex> guard(world->lock);
  return world->initializeResult;
}

HRESULT logon(void *backend, const MapiEventSink *events, void **session)
{
  auto *world = static_cast<MemWorld *>(backend);
  std::lock_guard<std::mutex> guard(world->lock);
  if (world->logonResult != S_OK)
    return world->logonResult;
  auto *s = new MemSession{world, *events};
  world->sessions.push_back(s);
  *session = s;
  return S_OK;
}

void logoff(void *session)
{
  auto *s = static_cast<MemSession *>(session);
  {
    std::lock_guard<std::mutex> guard(s->world->lock);
    std::erase(s->world->sessions, s);
  }
  delete s;
}

HRESULT enter(void *session, MapiCall call)
{
  MemWorld *world = worldOf(session);
  bool raise = false;
  HRESULT result = S_OK;
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> guard(world->lock);
    ++world->calls[static_cast<std::size_t>(call)];
    ++world->calls[static_cast<std::size_t>(MapiCall::Any)];
    bool fired = false;
    for (auto it = world->faults.begin(); it != world->faults.end();) {
      if (it->call != call && it->call != MapiCall::Any) {
        ++it;
        continue;
      }
      bool fires = it->always || --it->remaining == 0;
      if (fires && it->action) {
        action = std::move(it->action);
      } else if (fires && !fired) {
        fired = true;
        raise = it->raise;
        result = it->result;
      }
      if (fires && !it->always)
        it = world->faults.erase(it);
      else
        ++it;
    }
  }
  if (action)
    action(); // outside the world's lock: it may change the world
  if (raise)
    throw MapiInjectedFault();
  return result;
}

HRESULT listStores(void *session, std::vector<MapiEntryBytes> *stores)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  stores->clear();
  for (MemStore *s : world->stores)
    stores->push_back(s->id);
  return S_OK;
}

HRESULT locate(void *session, const MapiEntryBytes &id, MapiObjectInfo *info)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  MemObject *object = memLocked_find(world, id);
  if (!object)
    return MAPI_E_NOT_FOUND;
  info->objType = object->objType;
  info->store = object->store->id;
  info->parent.clear();
  if (auto *f = dynamic_cast<MemFolder *>(object); f && f->parent)
    info->parent = f->parent->id;
  if (auto *m = dynamic_cast<MemMessage *>(object))
    info->parent = m->folder->id;
  return S_OK;
}

HRESULT getProp(void *session, const MapiEntryBytes &id, ULONG tag, MapiValue *value)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  MemObject *object = memLocked_find(world, id);
  if (!object)
    return MAPI_E_NOT_FOUND;
  return memLocked_get(object, tag, value) ? S_OK : MAPI_E_NOT_FOUND;
}

// Properties the world computes; no caller writes them.
bool computed(ULONG tag)
{
  ULONG pid = PROP_ID(tag);
  return pid == PROP_ID(PR_CONTENT_COUNT) || pid == PROP_ID(PR_CONTENT_UNREAD) ||
         pid == PROP_ID(PR_SUBFOLDERS);
}

HRESULT setProp(void *session, const MapiEntryBytes &id, const MapiValue &value)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  MemObject *object = memLocked_find(world, id);
  if (!object)
    return MAPI_E_NOT_FOUND;
  if (computed(value.tag))
    return MAPI_E_NO_ACCESS;
  object->props[PROP_ID(value.tag)] = value;
  auto *message = dynamic_cast<MemMessage *>(object);
  constexpr ULONG incomplete = MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL;
  if (message && world->autoDownload && value.tag == PR_MSG_STATUS &&
      (value.l & MSGSTATUS_REMOTE_DOWNLOAD) && (value.l & incomplete))
    memLocked_complete(message);
  memLocked_changed(object);
  return S_OK;
}

HRESULT readStream(void *session, const MapiEntryBytes &id, ULONG tag, std::string *bytes)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  MemObject *object = memLocked_find(world, id);
  if (!object)
    return MAPI_E_NOT_FOUND;
  auto *message = dynamic_cast<MemMessage *>(object);
  if (message && PROP_ID(tag) == PROP_ID(PR_CE_MIME_TEXT)) {
    if (!message->text)
      return MAPI_E_NOT_FOUND;
    *bytes = memVisibleText(message);
    return S_OK;
  }
  auto it = object->props.find(PROP_ID(tag));
  if (it == object->props.end() || it->second.tag != tag)
    return MAPI_E_NOT_FOUND;
  bytes->assign(it->second.bytes.begin(), it->second.bytes.end());
  return S_OK;
}

HRESULT receiveFolder(void *session, const MapiEntryBytes &store, const std::u16string &messageClass,
                      MapiEntryBytes *folder)
{
  (void)messageClass; // one receive folder serves every class
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  auto *s = dynamic_cast<MemStore *>(memLocked_find(world, store));
  if (!s || !s->receive)
    return MAPI_E_NOT_FOUND;
  *folder = s->receive->id;
  return S_OK;
}

HRESULT listFolders(void *session, const MapiEntryBytes &folder, std::vector<MapiEntryBytes> *folders)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  auto *f = dynamic_cast<MemFolder *>(memLocked_find(world, folder));
  if (!f)
    return MAPI_E_NOT_FOUND;
  folders->clear();
  for (MemFolder *child : f->children)
    folders->push_back(child->id);
  return S_OK;
}

HRESULT listMessages(void *session, const MapiEntryBytes &folder,
                     std::vector<MapiEntryBytes> *messages)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  auto *f = dynamic_cast<MemFolder *>(memLocked_find(world, folder));
  if (!f)
    return MAPI_E_NOT_FOUND;
  messages->clear();
  for (MemMessage *m : f->messages)
    messages->push_back(m->id);
  return S_OK;
}

HRESULT createFolder(void *session, const MapiEntryBytes &parent, const std::u16string &name,
                     bool openIfExists, MapiEntryBytes *folder)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  auto *p = dynamic_cast<MemFolder *>(memLocked_find(world, parent));
  if (!p)
    return MAPI_E_NOT_FOUND;
  for (MemFolder *child : p->children) {
    auto it = child->props.find(PROP_ID(PR_DISPLAY_NAME));
    if (it != child->props.end() && it->second.text == name) {
      if (!openIfExists)
        return MAPI_E_COLLISION;
      *folder = child->id;
      return S_OK;
    }
  }
  *folder = memLocked_addFolder(p, name)->id;
  return S_OK;
}

HRESULT copyMessage(void *session, const MapiEntryBytes &message, const MapiEntryBytes &from,
                    const MapiEntryBytes &to, bool move, MapiEntryBytes *result)
{
  MemWorld *world = worldOf(session);
  std::lock_guard<std::mutex> guard(world->lock);
  auto *m = dynamic_cast<MemMessage *>(memLocked_find(world, message));
  auto *source = dynamic_cast<MemFolder *>(memLocked_find(world, from));
  auto *dest = dynamic_cast<MemFolder *>(memLocked_find(world, to));
  if (!m || !source || !dest || m->folder != source)
    return MAPI_E_NOT_FOUND;
  if (move) {
    if (source != dest) {
      std::erase(source->messages, m);
      dest->messages.push_back(m);
      m->folder = dest;
      m->store = dest->store;
      MapiEvent e = memLocked_event(fnevObjectMoved, m);
      e.oldId = m->id;
      e.oldParent = source->id;
      if (world->notify)
        memLocked_post(world, {e}, false);
    }
    *result = m->id;
    return S_OK;
  }
  // A copy is a new message with the same properties and text.
  MemMessage *copy = memLocked_newMessage(dest);
  copy->props = m->props;
  copy->text = m->text;
  MapiEvent e = memLocked_event(fnevObjectCopied, copy);
  e.oldId = m->id;
  e.oldParent = source->id;
  if (world->notify)
    memLocked_post(world, {e}, false);
  *result = copy->id;
  return S_OK;
}

} // namespace

void memFillProvider(MemWorld *world)
{
  MapiProvider &p = world->provider;
  p.name = "memory";
  p.backend = world;
  p.initialize = initialize;
  p.logon = logon;
  p.logoff = logoff;
  p.enter = enter;
  p.listStores = listStores;
  p.locate = locate;
  p.getProp = getProp;
  p.setProp = setProp;
  p.readStream = readStream;
  p.receiveFolder = receiveFolder;
  p.listFolders = listFolders;
  p.listMessages = listMessages;
  p.createFolder = createFolder;
  p.copyMessage = copyMessage;
}
