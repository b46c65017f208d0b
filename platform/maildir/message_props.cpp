// Properties of stores, folders and messages, read from the Maildir and
// written back to it: the read flag is the file name's "S" flag, status and
// written-back recipients go to the folder's side file.
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/mime.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"

#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace maildir {

namespace {

constexpr std::size_t CONTENT_CACHE_SIZE = 32;
constexpr char16_t MESSAGE_CLASS[] = u"IPM.Note";

bool isDirectory(const fs::path &p)
{
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool sameFile(const CachedContent &c, const FoundMessage &m)
{
  return c.ino == m.st.st_ino && c.size == m.st.st_size && c.mtime.tv_sec == m.st.st_mtim.tv_sec &&
         c.mtime.tv_nsec == m.st.st_mtim.tv_nsec && c.path == m.path;
}

// The parsed text of a message file, from the cache while the file is
// unchanged; null when the file is gone. Reads outside the session lock.
std::shared_ptr<const MessageContent> contentOf(Session &s, const FoundMessage &m)
{
  {
    std::lock_guard<std::mutex> g(s.cacheLock);
    for (auto it = s.contentCache.begin(); it != s.contentCache.end(); ++it)
      if (sameFile(*it, m)) {
        s.contentCache.splice(s.contentCache.begin(), s.contentCache, it);
        return it->content;
      }
  }
  auto read = readMessageContent(m.path);
  if (!read) {
    if (errno != ENOENT)
      reportUnreadable(s, m.path, errno);
    return nullptr;
  }
  auto content = std::make_shared<MessageContent>(std::move(*read));
  std::lock_guard<std::mutex> g(s.cacheLock);
  s.contentCache.push_front(CachedContent{m.path, m.st.st_ino, m.st.st_size, m.st.st_mtim, content});
  if (s.contentCache.size() > CONTENT_CACHE_SIZE)
    s.contentCache.pop_back();
  return content;
}

// What a text property of the message says: the side file's written-back
// value first, then the header.
std::optional<std::u16string> recipientsOf(const std::optional<std::u16string> &side,
                                           const std::optional<std::u16string> &header)
{
  return side ? side : header;
}

// Gives the stored value in the type asked for: PT_UNSPECIFIED and the same
// type as stored; PT_STRING8 for a text, in the device's ANSI code page; any
// other type gets the stored value under its own tag.
HRESULT answer(ULONG tag, MapiValue stored, MapiValue *value)
{
  ULONG want = PROP_TYPE(tag);
  ULONG have = PROP_TYPE(stored.tag);
  if (want == PT_STRING8 && have == PT_UNICODE) {
    std::u16string &t = stored.text;
    int n = WideCharToMultiByte(CP_ACP, 0, t.data(), static_cast<int>(t.size()), nullptr, 0,
                                nullptr, nullptr);
    std::vector<BYTE> bytes(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0)
      WideCharToMultiByte(CP_ACP, 0, t.data(), static_cast<int>(t.size()),
                          reinterpret_cast<char *>(bytes.data()), n, nullptr, nullptr);
    MapiValue v;
    v.tag = tag;
    v.bytes = std::move(bytes);
    *value = std::move(v);
    return S_OK;
  }
  *value = std::move(stored);
  return S_OK;
}

HRESULT storeProp(Session &s, const MaildirId &id, ULONG propId, MapiValue *stored)
{
  std::lock_guard<std::mutex> g(s.lock);
  fs::path dir = storeDir(s, id.store);
  if (!isDirectory(dir))
    return MAPI_E_NOT_FOUND;
  // A standard folder the store lacks is named all the same: it is made
  // when the program first writes there.
  auto special = [&](ULONG tag, StandardFolder which) -> HRESULT {
    *stored = mapiBinary(tag, idBytes(folderId(id.store, standardFolderOf(s, id.store, which))));
    return S_OK;
  };
  if (propId == PROP_ID(PR_DISPLAY_NAME)) {
    *stored = mapiText(PR_DISPLAY_NAME, utf8ToUtf16(id.store));
  } else if (propId == PROP_ID(PR_STORE_ENTRYID)) {
    *stored = mapiBinary(PR_STORE_ENTRYID, idBytes(id));
  } else if (propId == PROP_ID(PR_IPM_SUBTREE_ENTRYID)) {
    *stored = mapiBinary(PR_IPM_SUBTREE_ENTRYID, idBytes(folderId(id.store, {})));
  } else if (propId == PROP_ID(PR_CE_IPM_INBOX_ENTRYID)) {
    return special(PR_CE_IPM_INBOX_ENTRYID, StandardFolder::Inbox);
  } else if (propId == PROP_ID(PR_IPM_OUTBOX_ENTRYID)) {
    return special(PR_IPM_OUTBOX_ENTRYID, StandardFolder::Outbox);
  } else if (propId == PROP_ID(PR_IPM_WASTEBASKET_ENTRYID)) {
    return special(PR_IPM_WASTEBASKET_ENTRYID, StandardFolder::DeletedItems);
  } else if (propId == PROP_ID(PR_IPM_SENTMAIL_ENTRYID)) {
    return special(PR_IPM_SENTMAIL_ENTRYID, StandardFolder::SentItems);
  } else if (propId == PROP_ID(PR_CE_IPM_DRAFTS_ENTRYID)) {
    return special(PR_CE_IPM_DRAFTS_ENTRYID, StandardFolder::Drafts);
  } else {
    // Views and finder folders do not exist in a Maildir store.
    return MAPI_E_NOT_FOUND;
  }
  return S_OK;
}

HRESULT folderProp(Session &s, const MaildirId &id, ULONG propId, MapiValue *stored)
{
  std::lock_guard<std::mutex> g(s.lock);
  if (!isDirectory(storeDir(s, id.store)) || !folderExists(s, id.store, id.folder))
    return MAPI_E_NOT_FOUND;
  StoreLayout layout = layoutOf(s, id.store);
  if (propId == PROP_ID(PR_DISPLAY_NAME)) {
    *stored = mapiText(PR_DISPLAY_NAME, id.folder.empty() ? utf8ToUtf16(id.store)
                                                          : componentDisplayName(layout, id.folder.back()));
  } else if (propId == PROP_ID(PR_PARENT_ENTRYID)) {
    // The top folder is its own parent, as MAPI has it for a store's root.
    std::vector<std::string> up = id.folder;
    if (!up.empty())
      up.pop_back();
    *stored = mapiBinary(PR_PARENT_ENTRYID, idBytes(folderId(id.store, up)));
  } else if (propId == PROP_ID(PR_STORE_ENTRYID)) {
    *stored = mapiBinary(PR_STORE_ENTRYID, idBytes(storeId(id.store)));
  } else if (propId == PROP_ID(PR_FOLDER_TYPE)) {
    *stored = mapiLong(PR_FOLDER_TYPE, FOLDER_GENERIC);
  } else if (propId == PROP_ID(PR_CONTENT_COUNT) || propId == PROP_ID(PR_CONTENT_UNREAD)) {
    refreshFolder(s, id.store, id.folder);
    LONG count = 0;
    for (const auto &kv : loadedFolder(s, id.store, id.folder).messages)
      if (propId == PROP_ID(PR_CONTENT_COUNT) || !(messageFlagsOf(kv.second) & MSGFLAG_READ))
        ++count;
    *stored = mapiLong(propId == PROP_ID(PR_CONTENT_COUNT) ? PR_CONTENT_COUNT : PR_CONTENT_UNREAD, count);
  } else if (propId == PROP_ID(PR_SUBFOLDERS)) {
    *stored = mapiBool(PR_SUBFOLDERS, childFolderNames(storeDir(s, id.store), layout, id.folder).empty() ? 0 : 1);
  } else {
    return MAPI_E_NOT_FOUND;
  }
  return S_OK;
}

LONG clampSize(off_t size) { return size > INT_MAX ? INT_MAX : static_cast<LONG>(size); }

// What one message property is made of, read under the session lock.
struct MessageFacts {
  FoundMessage found;            // the file
  ULONG status = 0;              // PR_MSG_STATUS
  bool partial = false;          // header-only or partial
  std::optional<SideEntry> side; // its side entry, for the written-back recipients
};

// The facts last gathered on this thread: a reader asks for one property
// at a time, ten of them for a message in a row.
struct FactsMemo {
  const Session *session = nullptr; // whose facts
  std::uint64_t changes = 0;        // the session's change count when gathered
  MaildirId id;                     // the message
  MessageFacts facts;               // what was gathered
};

// The facts of a message, valid until the next call on this thread; null
// when the message is not there.
const MessageFacts *messageFacts(Session &s, const MaildirId &id, bool refind)
{
  thread_local FactsMemo memo;
  std::lock_guard<std::mutex> g(s.lock);
  if (refind) {
    ++s.changes;
    loadedFolder(s, id.store, id.folder).checked.erase(id.unique);
  }
  if (memo.session == &s && memo.changes == s.changes && memo.id.unique == id.unique &&
      memo.id.folder == id.folder && memo.id.store == id.store)
    return &memo.facts;
  memo.session = nullptr;
  auto f = findMessage(s, id);
  if (!f)
    return nullptr;
  MessageFacts &facts = memo.facts;
  facts.found = std::move(*f);
  facts.status = messageStatusOf(s, id);
  facts.partial = (facts.status & (MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL)) != 0;
  const SideEntries &entries = folderSide(s, id.store, id.folder);
  auto it = entries.find(id.unique);
  facts.side = it != entries.end() ? std::optional<SideEntry>(it->second) : std::nullopt;
  memo.session = &s;
  memo.changes = s.changes;
  memo.id = id;
  return &facts;
}

// A property read from the message file's text. The file can have been
// renamed since it was found (another program changed its flags): then it
// is looked up once more on disk.
HRESULT contentProp(Session &s, const MaildirId &id, ULONG propId, const MessageFacts *facts,
                    MapiValue *stored)
{
  std::shared_ptr<const MessageContent> content = contentOf(s, facts->found);
  if (!content) {
    facts = messageFacts(s, id, true);
    if (!facts)
      return MAPI_E_NOT_FOUND;
    content = contentOf(s, facts->found);
    if (!content)
      return MAPI_E_NOT_FOUND;
  }
  if (propId == PROP_ID(PR_HASATTACH)) {
    *stored = mapiBool(PR_HASATTACH, content->hasAttachments ? 1 : 0);
    return S_OK;
  }
  std::optional<std::u16string> text;
  ULONG tag = 0;
  const MessageSummary &sum = content->summary;
  if (propId == PROP_ID(PR_SUBJECT)) {
    tag = PR_SUBJECT;
    text = sum.subject;
  } else if (propId == PROP_ID(PR_SENDER_NAME)) {
    tag = PR_SENDER_NAME;
    text = sum.senderName;
  } else if (propId == PROP_ID(PR_SENDER_EMAIL_ADDRESS)) {
    tag = PR_SENDER_EMAIL_ADDRESS;
    text = sum.senderAddress;
  } else if (propId == PROP_ID(PR_DISPLAY_TO)) {
    tag = PR_DISPLAY_TO;
    text = recipientsOf(facts->side ? facts->side->displayTo : std::nullopt, sum.displayTo);
  } else if (propId == PROP_ID(PR_DISPLAY_CC)) {
    tag = PR_DISPLAY_CC;
    text = recipientsOf(facts->side ? facts->side->displayCc : std::nullopt, sum.displayCc);
  }
  if (!text)
    return MAPI_E_NOT_FOUND;
  *stored = mapiText(tag, *text);
  return S_OK;
}

bool isContentProp(ULONG propId)
{
  return propId == PROP_ID(PR_SUBJECT) || propId == PROP_ID(PR_SENDER_NAME) ||
         propId == PROP_ID(PR_SENDER_EMAIL_ADDRESS) || propId == PROP_ID(PR_DISPLAY_TO) ||
         propId == PROP_ID(PR_DISPLAY_CC) || propId == PROP_ID(PR_HASATTACH);
}

HRESULT messageProp(Session &s, const MaildirId &id, ULONG propId, MapiValue *stored)
{
  const MessageFacts *facts = messageFacts(s, id, false);
  if (!facts)
    return MAPI_E_NOT_FOUND;
  const FoundMessage &found = facts->found;

  if (propId == PROP_ID(PR_MESSAGE_FLAGS)) {
    *stored = mapiLong(PR_MESSAGE_FLAGS, static_cast<LONG>(messageFlagsOf(found.file)));
  } else if (propId == PROP_ID(PR_MSG_STATUS)) {
    *stored = mapiLong(PR_MSG_STATUS, static_cast<LONG>(facts->status));
  } else if (propId == PROP_ID(PR_MESSAGE_DELIVERY_TIME)) {
    ULONGLONG ft = unixToFileTime(found.st.st_mtim.tv_sec) +
                   static_cast<ULONGLONG>(found.st.st_mtim.tv_nsec / 100);
    *stored = mapiTime(PR_MESSAGE_DELIVERY_TIME, ft);
  } else if (propId == PROP_ID(PR_MESSAGE_SIZE) || propId == PROP_ID(PR_CE_MESSAGE_SIZE)) {
    // A header-only message has the size of its whole text, as a server
    // announces it.
    off_t size = found.st.st_size;
    struct stat st;
    if (facts->partial && stat(transportPath(s.transportRoot, id.store, id.unique).c_str(), &st) == 0)
      size = st.st_size;
    *stored = mapiLong(propId == PROP_ID(PR_MESSAGE_SIZE) ? PR_MESSAGE_SIZE : PR_CE_MESSAGE_SIZE,
                       clampSize(size));
  } else if (propId == PROP_ID(PR_PARENT_ENTRYID)) {
    *stored = mapiBinary(PR_PARENT_ENTRYID, idBytes(folderId(id.store, id.folder)));
  } else if (propId == PROP_ID(PR_STORE_ENTRYID)) {
    *stored = mapiBinary(PR_STORE_ENTRYID, idBytes(storeId(id.store)));
  } else if (propId == PROP_ID(PR_MESSAGE_CLASS)) {
    *stored = mapiText(PR_MESSAGE_CLASS, MESSAGE_CLASS);
  } else if (propId == PROP_ID(PR_CE_MIME_TEXT)) {
    auto bytes = readWholeFile(found.path);
    if (!bytes)
      return MAPI_E_NOT_FOUND;
    *stored = mapiBinary(PR_CE_MIME_TEXT, std::vector<BYTE>(bytes->begin(), bytes->end()));
  } else if (propId == PROP_ID(PR_HASATTACH) && facts->partial) {
    // As for the size: what the whole message carries.
    auto text = readWholeFile(transportPath(s.transportRoot, id.store, id.unique));
    *stored = mapiBool(PR_HASATTACH, text && messageHasAttachments(*text) ? 1 : 0);
  } else if (isContentProp(propId)) {
    return contentProp(s, id, propId, facts, stored);
  } else {
    return MAPI_E_NOT_FOUND;
  }
  return S_OK;
}

// Sets or clears the read flag by renaming the file: into cur/ with "S" when
// read; a message in new/ that stays unread stays there.
HRESULT setReadFlag(Session &s, const MaildirId &id, bool read)
{
  auto found = findMessage(s, id);
  if (!found)
    return MAPI_E_NOT_FOUND;
  std::string_view info = splitMaildirName(found->file.fileName).info;
  if (found->file.inNew && !read)
    return S_OK;
  std::string newInfo = withMaildirFlag(info, 'S', read);
  MessageFile renamed{curFileName(id.unique, newInfo), false};
  if (renamed.fileName == found->file.fileName && !found->file.inNew)
    return S_OK;
  fs::path target = messagePath(folderDir(s, id.store, id.folder), renamed);
  expectEvent(s, target.native());
  if (!renameNoReplace(found->path, target)) {
    forgetExpected(s, target.native());
    return MAPI_E_CALL_FAILED;
  }
  FolderState &folder = loadedFolder(s, id.store, id.folder);
  folder.messages[id.unique] = renamed;
  folder.checked.erase(id.unique);
  return S_OK;
}

// Writes one field of the message's side entry.
HRESULT setSide(Session &s, const MaildirId &id, const std::function<void(SideEntry &)> &change)
{
  if (!findMessage(s, id))
    return MAPI_E_NOT_FOUND;
  fs::path dir = folderDir(s, id.store, id.folder);
  FolderState &folder = loadedFolder(s, id.store, id.folder);
  bool ok = updateSideFile(dir, [&](SideEntries &entries) {
    change(entries[id.unique]);
    // Entries of messages that left the folder behind its back go.
    for (auto it = entries.begin(); it != entries.end();)
      it = it->second.empty() || !folder.messages.count(it->first) ? entries.erase(it) : std::next(it);
    folderSide(s, id.store, id.folder) = entries;
    return true;
  });
  return ok ? S_OK : MAPI_E_DISK_ERROR;
}

std::optional<std::u16string> textOf(const MapiValue &v)
{
  if (PROP_TYPE(v.tag) == PT_UNICODE)
    return v.text;
  if (PROP_TYPE(v.tag) == PT_STRING8) {
    std::string bytes(v.bytes.begin(), v.bytes.end());
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0)
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
  }
  return std::nullopt;
}

} // namespace

HRESULT getProp(void *session, const MapiEntryBytes &bytes, ULONG tag, MapiValue *value)
{
  auto id = decodeId(bytes);
  if (!id)
    return MAPI_E_INVALID_ENTRYID;
  Session &s = *static_cast<Session *>(session);
  MapiValue stored;
  HRESULT hr = id->kind == 'S'   ? storeProp(s, *id, PROP_ID(tag), &stored)
               : id->kind == 'F' ? folderProp(s, *id, PROP_ID(tag), &stored)
                                 : messageProp(s, *id, PROP_ID(tag), &stored);
  if (hr != S_OK)
    return hr;
  return answer(tag, std::move(stored), value);
}

HRESULT setProp(void *session, const MapiEntryBytes &bytes, const MapiValue &value)
{
  auto id = decodeMaildirId(bytes);
  if (!id)
    return MAPI_E_INVALID_ENTRYID;
  if (id->kind != 'M')
    return MAPI_E_NO_ACCESS;
  Session &s = *static_cast<Session *>(session);
  std::lock_guard<std::mutex> g(s.lock);
  ++s.changes;
  ULONG propId = PROP_ID(value.tag);
  ULONG type = PROP_TYPE(value.tag);
  HRESULT hr;
  if (propId == PROP_ID(PR_MESSAGE_FLAGS) && type == PT_LONG) {
    hr = setReadFlag(s, *id, (static_cast<ULONG>(value.l) & MSGFLAG_READ) != 0);
  } else if (propId == PROP_ID(PR_MSG_STATUS) && type == PT_LONG) {
    ULONG status = static_cast<ULONG>(value.l);
    hr = setSide(s, *id, [&](SideEntry &e) { e.status = status; });
    if (hr == S_OK && (status & MSGSTATUS_REMOTE_DOWNLOAD) && s.options.autoTransport &&
        isPartial(s, *id))
      queueTransport(s, *id);
  } else if ((propId == PROP_ID(PR_DISPLAY_TO) || propId == PROP_ID(PR_DISPLAY_CC)) && textOf(value)) {
    std::u16string text = *textOf(value);
    bool to = propId == PROP_ID(PR_DISPLAY_TO);
    hr = setSide(s, *id, [&](SideEntry &e) { (to ? e.displayTo : e.displayCc) = text; });
  } else {
    return MAPI_E_NO_ACCESS;
  }
  if (hr == S_OK)
    post(s, {objectEvent(fnevObjectModified, *id)});
  return hr;
}

HRESULT readStream(void *session, const MapiEntryBytes &bytes, ULONG tag, std::string *out)
{
  auto id = decodeMaildirId(bytes);
  if (!id)
    return MAPI_E_INVALID_ENTRYID;
  if (id->kind != 'M' || PROP_ID(tag) != PROP_ID(PR_CE_MIME_TEXT))
    return MAPI_E_NOT_FOUND;
  Session &s = *static_cast<Session *>(session);
  // A file renamed between finding and reading it is looked up once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    fs::path path;
    {
      std::lock_guard<std::mutex> g(s.lock);
      auto found = findMessage(s, *id);
      if (!found)
        return MAPI_E_NOT_FOUND;
      path = found->path;
    }
    if (auto text = readWholeFile(path)) {
      *out = std::move(*text);
      return S_OK;
    }
  }
  return MAPI_E_NOT_FOUND;
}

} // namespace maildir
