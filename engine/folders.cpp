#include "engine/folders.h"

#include "services/resources.h"
#include "services/string_ids.h"
#include "engine/mapi_refs.h"
#include "engine/session.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <cstring>

namespace {

// Store properties naming special folders, in the order they are compared.
constexpr ULONG SPECIAL_FOLDER_TAGS[] = {
    PR_IPM_OUTBOX_ENTRYID,    PR_IPM_WASTEBASKET_ENTRYID, PR_IPM_SENTMAIL_ENTRYID,
    PR_VIEWS_ENTRYID,         PR_COMMON_VIEWS_ENTRYID,    PR_FINDER_ENTRYID,
    PR_CE_IPM_DRAFTS_ENTRYID, PR_CE_IPM_INBOX_ENTRYID,
};

// Opens a folder of store by entry id, or null.
LPMAPIFOLDER openFolderById(LPMDB store, ULONG size, LPENTRYID id)
{
  ComRef<IMAPIFolder> folder;
  HRESULT hr = store->OpenEntry(size, id, nullptr, 0, nullptr, folder.putUnknown());
  return hr == S_OK ? folder.detach() : nullptr;
}

// Whether the subfolder's display name is exactly name.
bool isNamed(IMAPIFolder *folder, const WCHAR *name)
{
  MapiBuffer<SPropValue> value;
  return readOneProp(folder, PR_DISPLAY_NAME, &value) && value->Value.lpszW &&
         wstrCmp(value->Value.lpszW, name) == 0;
}

} // namespace

const WCHAR *archiveFolderName()
{
  static const WCHAR *slot = nullptr;
  return loadString(IDS_ARCHIVE, &slot);
}

LPMAPIFOLDER openTopFolder(LPMDB store)
{
  if (!store)
    return nullptr;
  try {
    MapiBuffer<SPropValue> value;
    if (!readOneProp(store, PR_IPM_SUBTREE_ENTRYID, &value))
      return nullptr;
    return openFolderById(store, value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb));
  } catch (...) {
    return nullptr;
  }
}

LPMAPIFOLDER openInbox(LPMDB store)
{
  if (!store)
    return nullptr;
  try {
    ULONG size = 0;
    MapiBuffer<ENTRYID> id;
    if (store->GetReceiveFolder(nullptr, MAPI_UNICODE, &size, id.put(), nullptr) != S_OK || !id)
      return nullptr;
    return openFolderById(store, size, id.get());
  } catch (...) {
    return nullptr;
  }
}

LPMAPIFOLDER openOrCreateChild(LPMAPIFOLDER folder, const WCHAR *name)
{
  if (!folder || !name)
    return nullptr;
  try {
    LPMAPIFOLDER child = nullptr;
    // CreateFolder takes the name as a modifiable text but only reads it.
    HRESULT hr = folder->CreateFolder(FOLDER_ROOT, const_cast<WCHAR *>(name), nullptr, nullptr,
                                      MAPI_UNICODE | OPEN_IF_EXISTS, &child);
    ComRef<IMAPIFolder> held(child);
    return hr == S_OK ? held.detach() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

LPMAPIFOLDER findChild(LPMAPIFOLDER folder, const WCHAR *name)
{
  if (!folder || !name || !session)
    return nullptr;
  try {
    ComRef<IMAPITable> table;
    if (folder->GetHierarchyTable(0, table.put()) != S_OK || !table)
      return nullptr;
    for (;;) {
      RowSetHold rows;
      if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
        return nullptr;
      ULONG size = 0;
      LPENTRYID id = nullptr;
      if (!rowEntryId(rows.get(), &size, &id))
        continue;
      ComRef<IMAPIFolder> child;
      HRESULT hr = session->OpenEntry(size, id, nullptr, 0, nullptr, child.putUnknown());
      if (hr == S_OK && child && isNamed(child.get(), name))
        return child.detach();
    }
  } catch (...) {
    return nullptr;
  }
}

LPMAPIFOLDER findOrCreateTargetFolder(LPMDB store, const WCHAR *name, bool createUnderInbox,
                                      std::vector<BYTE> *archiveId)
{
  ComRef<IMAPIFolder> top(openTopFolder(store));
  if (!top)
    return nullptr;
  ComRef<IMAPIFolder> inbox(openInbox(store));
  ComRef<IMAPIFolder> archive(openOrCreateChild(top.get(), archiveFolderName()));
  MapiBuffer<SPropValue> archiveEntry;
  if (archiveId && archive && readOneProp(archive.get(), PR_ENTRYID, &archiveEntry) &&
      archiveEntry->Value.bin.lpb)
    archiveId->assign(archiveEntry->Value.bin.lpb, archiveEntry->Value.bin.lpb + archiveEntry->Value.bin.cb);
  LPMAPIFOLDER result = findChild(top.get(), name);
  if (!result && archive)
    result = findChild(archive.get(), name);
  if (!result && inbox)
    result = findChild(inbox.get(), name);
  if (!result) {
    IMAPIFolder *parent = createUnderInbox ? inbox.get() : archive.get();
    if (parent)
      result = openOrCreateChild(parent, name);
  }
  return result;
}

bool isSpecialFolder(LPMDB store, ULONG size, const BYTE *id)
{
  if (!store || size == 0 || !id)
    return false;
  for (ULONG tag : SPECIAL_FOLDER_TAGS) {
    try {
      MapiBuffer<SPropValue> value;
      if (readOneProp(store, tag, &value) && value->Value.bin.cb == size && value->Value.bin.lpb &&
          std::memcmp(value->Value.bin.lpb, id, size) == 0)
        return true;
    } catch (...) {
      // As a failed read: on with the next property.
    }
  }
  return false;
}
