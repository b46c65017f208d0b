// The Maildir provider's operations: stores, folders, tables, folder
// creation, copies and moves. Properties are in message_props.cpp, the
// watcher and transport thread in watcher.cpp.
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/transport_area.h"

#include "platform/mapi/mapitags.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace maildir {

HRESULT getProp(void *session, const MapiEntryBytes &id, ULONG tag, MapiValue *value);
HRESULT setProp(void *session, const MapiEntryBytes &id, const MapiValue &value);
HRESULT readStream(void *session, const MapiEntryBytes &id, ULONG tag, std::string *bytes);

namespace {

Session &sessionOf(void *p) { return *static_cast<Session *>(p); }

bool isDirectory(const fs::path &p)
{
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// True when the store exists; the session learns its layout the first
// time it meets it. Nothing is made in it until something is written there.
bool knownStore(Session &s, const std::string &store)
{
  // A watched store's removal comes as an event, which forgets it.
  if (isWatched(s, store, {}) && s.layouts.count(store))
    return true;
  if (!isDirectory(storeDir(s, store)))
    return false;
  noteLayout(s, store);
  return true;
}

bool folderThere(Session &s, const MaildirId &id)
{
  return knownStore(s, id.store) && folderExists(s, id.store, id.folder);
}

HRESULT logon(void *backend, const MapiEventSink *events, void **out)
{
  auto *provider = static_cast<Provider *>(backend);
  auto *s = new Session;
  s->options = provider->options;
  const char *transport = std::getenv("QUILLMARSH_TRANSPORT");
  if (transport && std::strcmp(transport, "hold") == 0)
    s->options.autoTransport = false;
  s->mailRoot = mailRoot();
  s->transportRoot = transportRoot();
  s->events = events;
  {
    std::lock_guard<std::mutex> g(s->lock);
    for (const std::string &name : storeNames(*s))
      knownStore(*s, name);
  }
  startWatcher(*s);
  *out = s;
  return S_OK;
}

void logoff(void *session)
{
  Session *s = static_cast<Session *>(session);
  stopWatcher(*s);
  delete s;
}

HRESULT listStores(void *session, std::vector<MapiEntryBytes> *stores)
{
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  stores->clear();
  // Only the logon makes the default store: the program reads this table at
  // every tick, and makes nothing where Mail/ was removed.
  for (const std::string &name : existingStoreNames(s.mailRoot))
    if (knownStore(s, name))
      stores->push_back(idBytes(storeId(name)));
  return S_OK;
}

HRESULT locate(void *session, const MapiEntryBytes &bytes, MapiObjectInfo *info)
{
  auto id = decodeId(bytes);
  if (!id)
    return MAPI_E_INVALID_ENTRYID;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  if (!knownStore(s, id->store))
    return MAPI_E_NOT_FOUND;
  info->store = idBytes(storeId(id->store));
  info->parent.clear();
  if (id->kind == 'S') {
    info->objType = MAPI_STORE;
    return S_OK;
  }
  if (id->kind == 'F') {
    if (!folderExists(s, id->store, id->folder))
      return MAPI_E_NOT_FOUND;
    info->objType = MAPI_FOLDER;
    if (!id->folder.empty())
      info->parent = idBytes(folderId(id->store, {id->folder.begin(), id->folder.end() - 1}));
    return S_OK;
  }
  if (!findMessage(s, *id))
    return MAPI_E_NOT_FOUND;
  info->objType = MAPI_MESSAGE;
  info->parent = idBytes(folderId(id->store, id->folder));
  return S_OK;
}

HRESULT receiveFolder(void *session, const MapiEntryBytes &store, const std::u16string &,
                      MapiEntryBytes *folder)
{
  auto id = decodeMaildirId(store);
  if (!id || id->kind != 'S')
    return MAPI_E_INVALID_ENTRYID;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  if (!knownStore(s, id->store))
    return MAPI_E_NOT_FOUND;
  *folder = idBytes(folderId(id->store, standardFolderOf(s, id->store, StandardFolder::Inbox)));
  return S_OK;
}

HRESULT listFolders(void *session, const MapiEntryBytes &bytes, std::vector<MapiEntryBytes> *out)
{
  auto id = decodeMaildirId(bytes);
  if (!id || id->kind != 'F')
    return MAPI_E_INVALID_ENTRYID;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  if (!folderThere(s, *id))
    return MAPI_E_NOT_FOUND;
  out->clear();
  for (const std::string &name : childFolderNames(storeDir(s, id->store), layoutOf(s, id->store), id->folder)) {
    std::vector<std::string> child = id->folder;
    child.push_back(name);
    out->push_back(idBytes(folderId(id->store, child)));
  }
  return S_OK;
}

HRESULT listMessages(void *session, const MapiEntryBytes &bytes, std::vector<MapiEntryBytes> *out)
{
  auto id = decodeMaildirId(bytes);
  if (!id || id->kind != 'F')
    return MAPI_E_INVALID_ENTRYID;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  if (!folderThere(s, *id))
    return MAPI_E_NOT_FOUND;
  refreshFolder(s, id->store, id->folder);
  std::vector<std::string> uniques;
  for (const auto &kv : loadedFolder(s, id->store, id->folder).messages)
    uniques.push_back(kv.first);
  // Unique names begin with the delivery second, so this is arrival order
  // for the names Maildir programs make.
  std::sort(uniques.begin(), uniques.end());
  out->clear();
  out->reserve(uniques.size());
  for (std::string &u : uniques)
    out->push_back(idBytes(messageId(id->store, id->folder, std::move(u))));
  return S_OK;
}

HRESULT createFolder(void *session, const MapiEntryBytes &parentBytes, const std::u16string &name,
                     bool openIfExists, MapiEntryBytes *folder)
{
  auto parent = decodeMaildirId(parentBytes);
  if (!parent || parent->kind != 'F')
    return MAPI_E_INVALID_ENTRYID;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  if (!folderThere(s, *parent))
    return MAPI_E_NOT_FOUND;
  // The name as the store's layout writes it: a Maildir++ store cannot
  // hold its separators in a name.
  auto component = folderComponent(layoutOf(s, parent->store), name);
  if (!component)
    return MAPI_E_INVALID_PARAMETER;
  std::vector<std::string> path = parent->folder;
  path.push_back(*component);
  fs::path dir = folderDir(s, parent->store, path);
  MaildirId id = folderId(parent->store, path);
  struct stat st;
  bool there = lstat(dir.c_str(), &st) == 0;
  if (there && (!S_ISDIR(st.st_mode) || !openIfExists))
    return MAPI_E_COLLISION; // a file or a link has the name, or the folder is there
  // An existing folder gets what it lacks of its Maildir.
  if (!(there ? makeFolderDir(storeDir(s, parent->store), layoutOf(s, parent->store), path)
              : makeFolder(s, parent->store, path)))
    return errno == ENOSPC ? MAPI_E_NOT_ENOUGH_DISK : MAPI_E_CALL_FAILED;
  *folder = idBytes(id);
  return S_OK;
}

// Moves or copies the message's full text in the transport area along with it.
void carryTransportText(Session &s, const MaildirId &from, const MaildirId &to, bool move)
{
  if ((from.store == to.store && from.unique == to.unique) || !isPartial(s, from))
    return;
  fs::path src = transportPath(s.transportRoot, from.store, from.unique);
  fs::path dst = transportPath(s.transportRoot, to.store, to.unique);
  std::error_code ec;
  fs::create_directories(dst.parent_path(), ec);
  expectEvent(s, dst.native());
  if (move)
    expectEvent(s, src.native());
  bool moved = move && rename(src.c_str(), dst.c_str()) == 0;
  if (!moved) {
    // Whole or not at all: a full text in the area is the message's download.
    auto text = readWholeFile(src);
    if (!text || !writeTransportText(dst.parent_path(), to.unique, *text)) {
      forgetExpected(s, dst.native());
      if (move)
        forgetExpected(s, src.native());
      return;
    }
    if (move)
      unlink(src.c_str());
  }
  noteTransport(s, to.store, to.unique, true);
  if (move)
    noteTransport(s, from.store, from.unique, false);
}

// Writes a copy of a message file into dest's cur/ under a name of its own.
bool copyFile(const FoundMessage &found, const fs::path &destDir, const std::string &unique,
              const fs::path &destPath)
{
  auto bytes = readWholeFile(found.path);
  if (!bytes)
    return false;
  auto tmp = writeTmpFile(destDir, unique, *bytes, found.st.st_mtime);
  if (!tmp)
    return false;
  if (renameNoReplace(*tmp, destPath))
    return true;
  unlink(tmp->c_str());
  return false;
}

// A move across file systems cut short after its copy was written leaves the
// message twice under one unique name. Moving it again finds that copy: true
// when the destination's file of that name is on another file system than
// the original and has the same bytes.
bool copiedBefore(const FoundMessage &found, const std::string &toDir, const MessageFile &there)
{
  std::string path = toDir + (there.inNew ? "/new/" : "/cur/") + there.fileName;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev == found.st.st_dev ||
      st.st_size != found.st.st_size)
    return false;
  auto original = readWholeFile(found.path);
  auto copy = readWholeFile(path);
  return original && copy && *original == *copy;
}

HRESULT copyMessage(void *session, const MapiEntryBytes &messageBytes, const MapiEntryBytes &fromBytes,
                    const MapiEntryBytes &toBytes, bool move, MapiEntryBytes *result)
{
  auto msg = decodeMaildirId(messageBytes);
  auto from = decodeMaildirId(fromBytes);
  auto to = decodeMaildirId(toBytes);
  if (!msg || msg->kind != 'M' || !from || from->kind != 'F' || !to || to->kind != 'F')
    return MAPI_E_INVALID_ENTRYID;
  if (msg->store != from->store || msg->folder != from->folder)
    return MAPI_E_NOT_FOUND;
  Session &s = sessionOf(session);
  std::lock_guard<std::mutex> g(s.lock);
  ++s.changes;
  if (!folderThere(s, *to))
    return MAPI_E_NOT_FOUND;
  auto found = findMessage(s, *msg);
  if (!found)
    return MAPI_E_NOT_FOUND;
  if (move && msg->store == to->store && msg->folder == to->folder) {
    *result = messageBytes;
    return S_OK;
  }
  // A standard folder still to be made, or a folder of another program
  // without its Maildir, is made now that something goes there.
  if (!makeFolder(s, to->store, to->folder))
    return errno == ENOSPC ? MAPI_E_NOT_ENOUGH_DISK : MAPI_E_CALL_FAILED;
  fs::path fromDir = folderDir(s, from->store, from->folder);
  std::string toDir = folderPath(s, to->store, to->folder);

  // The unique name stays unless the destination holds it already; copies
  // always get one of their own.
  FolderState &dest = loadedFolder(s, to->store, to->folder);
  std::string unique = withoutFolderUid(msg->unique);
  auto there = unique.empty() ? dest.messages.end() : dest.messages.find(unique);
  // Finishing a cut move takes the copy as it is, and removes the original.
  bool finishing = move && there != dest.messages.end() && copiedBefore(*found, toDir, there->second);
  if (!finishing && (!move || unique.empty() || there != dest.messages.end()))
    unique = makeUniqueName();
  std::string info(splitMaildirName(found->file.fileName).info);
  MessageFile destFile = finishing ? there->second : MessageFile{curFileName(unique, info), false};
  std::string destPath = toDir + (destFile.inNew ? "/new/" : "/cur/") + destFile.fileName;
  MaildirId newId = messageId(to->store, to->folder, unique);

  std::optional<SideEntry> entry;
  {
    const SideEntries &side = folderSide(s, from->store, from->folder);
    auto it = side.find(msg->unique);
    if (it != side.end())
      entry = it->second;
  }
  bool done;
  {
    // The destination's entry and the file arrive under one lock, so no
    // writer of that side file drops the entry as belonging to no message.
    std::optional<SideFileLock> destLock;
    if (entry) {
      destLock.emplace(toDir);
      updateSideFileLocked(toDir, [&](SideEntries &e) {
        e[unique] = *entry;
        folderSide(s, to->store, to->folder) = e;
        return true;
      });
    }
    if (!finishing)
      expectEvent(s, destPath);
    if (finishing) {
      done = unlink(found->path.c_str()) == 0 || errno == ENOENT;
    } else if (move) {
      done = renameNoReplace(found->path, destPath);
      if (!done && errno == ENOENT && ensureMaildir(toDir)) // a folder of another program without cur/
        done = renameNoReplace(found->path, destPath);
      if (!done && errno == EXDEV) {
        // Another file system: copy, then remove the original. A crash in
        // between leaves the message twice, never lost.
        done = ensureMaildir(toDir) && copyFile(*found, toDir, unique, destPath);
        if (done)
          unlink(found->path.c_str());
      }
    } else {
      done = ensureMaildir(toDir) && copyFile(*found, toDir, unique, destPath);
    }
  }
  if (!done) {
    int error = errno;
    forgetExpected(s, destPath);
    return error == ENOSPC ? MAPI_E_NOT_ENOUGH_DISK : MAPI_E_CALL_FAILED;
  }
  carryTransportText(s, *msg, newId, move);
  if (move) {
    if (entry)
      updateSideFile(fromDir, [&](SideEntries &e) {
        e.erase(msg->unique);
        folderSide(s, from->store, from->folder) = e;
        return true;
      });
    FolderState &source = loadedFolder(s, from->store, from->folder);
    source.messages.erase(msg->unique);
    source.checked.erase(msg->unique);
  }
  dest.messages[unique] = destFile;
  dest.checked.erase(unique);
  post(s, {objectEvent(move ? fnevObjectMoved : fnevObjectCopied, newId, &*msg)});
  *result = idBytes(newId);
  return S_OK;
}

void fillTable(Provider *p)
{
  MapiProvider &t = p->table;
  t.name = "maildir";
  t.backend = p;
  t.initialize = nullptr;
  t.logon = logon;
  t.logoff = logoff;
  t.enter = nullptr;
  t.listStores = listStores;
  t.locate = locate;
  t.getProp = getProp;
  t.setProp = setProp;
  t.readStream = readStream;
  t.receiveFolder = receiveFolder;
  t.listFolders = listFolders;
  t.listMessages = listMessages;
  t.createFolder = createFolder;
  t.copyMessage = copyMessage;
}

} // namespace
} // namespace maildir

MapiProvider *createMaildirProvider(const MaildirOptions &options)
{
  auto *p = new maildir::Provider;
  p->options = options;
  maildir::fillTable(p);
  return &p->table;
}

void destroyMaildirProvider(MapiProvider *provider)
{
  if (provider)
    delete static_cast<maildir::Provider *>(provider->backend);
}

const MapiProvider *maildirProvider()
{
  static MapiProvider *provider = createMaildirProvider(MaildirOptions{});
  return provider;
}
