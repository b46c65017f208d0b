#include "engine/folder_index.h"

#include "engine/folders.h"
#include "engine/mapi_refs.h"
#include "engine/store_watcher.h"
#include "platform/mapi/mapitags.h"

namespace {

using Key = std::pair<std::u16string, bool>;

// Opens a folder of the store by its entry id bytes, or null.
LPMAPIFOLDER openById(LPMDB store, std::vector<BYTE> &id)
{
  ComRef<IMAPIFolder> folder;
  HRESULT hr = store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr,
                                0, nullptr, folder.putUnknown());
  return hr == S_OK ? folder.detach() : nullptr;
}

// Whether the index leads to the folder of that entry id.
bool leadsTo(const FolderIndex *index, const std::vector<BYTE> &id)
{
  if (id == index->archiveId)
    return true;
  for (const auto &[key, target] : index->targets)
    if (target == id)
      return true;
  return false;
}

// Whether every notification after filledAt (the lock held) is the creation
// of a folder the index leads to: nothing a lookup would find otherwise.
bool onlyOwnCreations(const FolderIndex *index)
{
  for (const std::vector<BYTE> &created : index->since)
    if (created.empty() || !leadsTo(index, created))
      return false;
  return true;
}

// The indexed folder, opened, when the index holds the name and both it and
// the archive folder (which the lookup makes at every call) are still there.
LPMAPIFOLDER openIndexed(FolderIndex *index, LPMDB store, const Key &key)
{
  std::vector<BYTE> archive;
  std::vector<BYTE> target;
  {
    std::lock_guard<std::mutex> guard(index->lock);
    std::uint64_t now = index->changes.load();
    if (index->filledAt != now) {
      bool good = onlyOwnCreations(index);
      index->since.clear();
      index->filledAt = now;
      if (!good) {
        index->targets.clear();
        index->archiveId.clear();
        return nullptr;
      }
    }
    auto it = index->targets.find(key);
    if (it == index->targets.end() || index->archiveId.empty())
      return nullptr;
    archive = index->archiveId;
    target = it->second;
  }
  try {
    ComRef<IMAPIFolder> archiveFolder(openById(store, archive));
    return archiveFolder ? openById(store, target) : nullptr;
  } catch (...) {
    return nullptr; // as a miss: the lookup decides
  }
}

// Notes what the lookup found, unless a notification came since it started
// other than the creation of a folder the index then leads to (the lookup
// making the archive folder or the target).
void remember(FolderIndex *index, std::uint64_t startedAt, const Key &key, std::vector<BYTE> archive,
              IMAPIFolder *found)
{
  MapiBuffer<SPropValue> id;
  if (archive.empty() || !readOneProp(found, PR_ENTRYID, &id) || !id->Value.bin.lpb)
    return;
  std::vector<BYTE> target(id->Value.bin.lpb, id->Value.bin.lpb + id->Value.bin.cb);
  std::lock_guard<std::mutex> guard(index->lock);
  if (index->filledAt != startedAt)
    return;
  std::vector<BYTE> oldArchive = index->archiveId;
  auto old = index->targets.find(key);
  bool hadKey = old != index->targets.end();
  std::vector<BYTE> oldTarget = hadKey ? old->second : std::vector<BYTE>();
  index->archiveId = std::move(archive);
  index->targets[key] = std::move(target);
  if (onlyOwnCreations(index)) {
    index->since.clear();
    index->filledAt = index->changes.load();
    return;
  }
  // Something else came: as it was, for the next use to empty.
  index->archiveId = std::move(oldArchive);
  if (hadKey)
    index->targets[key] = std::move(oldTarget);
  else
    index->targets.erase(key);
}

} // namespace

void noteFolderChange(FolderIndex *index, const NOTIFICATION &notification)
{
  switch (notification.ulEventType) {
  case fnevObjectCreated:
  case fnevObjectDeleted:
  case fnevObjectModified:
  case fnevObjectMoved:
  case fnevObjectCopied:
    if (notification.info.obj.ulObjType == MAPI_FOLDER || notification.info.obj.ulObjType == MAPI_STORE) {
      const OBJECT_NOTIFICATION &obj = notification.info.obj;
      std::vector<BYTE> created;
      if (notification.ulEventType == fnevObjectCreated && obj.ulObjType == MAPI_FOLDER && obj.lpEntryID)
        created.assign(reinterpret_cast<const BYTE *>(obj.lpEntryID),
                       reinterpret_cast<const BYTE *>(obj.lpEntryID) + obj.cbEntryID);
      std::lock_guard<std::mutex> guard(index->lock);
      if (index->since.size() < FOLDER_EVENTS_KEPT)
        index->since.push_back(std::move(created));
      else
        index->since.back().clear(); // too many to look at: empties the index
      index->changes.fetch_add(1);
    }
    break;
  default:
    break;
  }
}

LPMAPIFOLDER openTargetFolder(StoreWatcher *watcher, const WCHAR *name, bool createUnderInbox)
{
  LPMDB store = watcher->store;
  if (!watcher->connection || !store || !name)
    return findOrCreateTargetFolder(store, name, createUnderInbox);
  FolderIndex *index = &watcher->folders;
  Key key(name, createUnderInbox);
  std::uint64_t startedAt = index->changes.load();
  if (LPMAPIFOLDER indexed = openIndexed(index, store, key))
    return indexed;
  std::vector<BYTE> archive;
  ComRef<IMAPIFolder> found(findOrCreateTargetFolder(store, name, createUnderInbox, &archive));
  if (found) {
    try {
      remember(index, startedAt, key, std::move(archive), found.get());
    } catch (...) {
      // Not indexed: the next move looks it up again.
    }
  }
  return found.detach();
}
