// IMAPIFolder: a folder's tables, creating subfolders, copying and moving messages.
#include "platform/mapi/objects.h"

namespace qm_mapi {

HRESULT FolderObject::GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
  (void)ulFlags; // 0 or MAPI_UNICODE: text is always UTF-16
  if (lppTable)
    *lppTable = nullptr;
  return guarded(*session_, MapiCall::ContainerGetContentsTable, [&]() -> HRESULT {
    if (!lppTable)
      return MAPI_E_INVALID_PARAMETER;
    std::vector<MapiEntryBytes> rows;
    HRESULT hr = session_->provider->listMessages(session_->driverSession, id_, &rows);
    if (hr != S_OK)
      return hr;
    return createTable(session_, MAPI_MESSAGE, std::move(rows), lppTable);
  });
}

HRESULT FolderObject::GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
  (void)ulFlags; // 0 or MAPI_UNICODE: text is always UTF-16
  if (lppTable)
    *lppTable = nullptr;
  return guarded(*session_, MapiCall::ContainerGetHierarchyTable, [&]() -> HRESULT {
    if (!lppTable)
      return MAPI_E_INVALID_PARAMETER;
    std::vector<MapiEntryBytes> rows;
    HRESULT hr = session_->provider->listFolders(session_->driverSession, id_, &rows);
    if (hr != S_OK)
      return hr;
    return createTable(session_, MAPI_FOLDER, std::move(rows), lppTable);
  });
}

HRESULT FolderObject::CreateFolder(ULONG ulFolderType, LPTSTR lpszFolderName,
                                   LPTSTR lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
                                   LPMAPIFOLDER *lppFolder)
{
  (void)lpszFolderComment; // folders keep no comment
  if (lppFolder)
    *lppFolder = nullptr;
  return guarded(*session_, MapiCall::FolderCreateFolder, [&]() -> HRESULT {
    if (!lppFolder || !lpszFolderName || !lpszFolderName[0])
      return MAPI_E_INVALID_PARAMETER;
    if (ulFolderType != FOLDER_ROOT && ulFolderType != FOLDER_GENERIC)
      return MAPI_E_INVALID_PARAMETER;
    MapiEntryBytes created;
    HRESULT hr = session_->provider->createFolder(session_->driverSession, id_, lpszFolderName,
                                                  (ulFlags & OPEN_IF_EXISTS) != 0, &created);
    if (hr != S_OK)
      return hr;
    MapiObjectInfo info;
    hr = session_->provider->locate(session_->driverSession, created, &info);
    if (hr != S_OK)
      return hr;
    if (info.objType != MAPI_FOLDER)
      return MAPI_E_CALL_FAILED;
    IUnknown *object = newObject(session_, created, info);
    void *asked = nullptr;
    hr = object->QueryInterface(lpInterface ? *lpInterface : IID_IMAPIFolder, &asked);
    object->Release();
    if (hr != S_OK)
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    *lppFolder = static_cast<IMAPIFolder *>(asked); // every id a folder answers is its one vtable
    return S_OK;
  });
}

HRESULT FolderObject::CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                                   ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
  (void)ulUIParam; // no progress is shown
  return guarded(*session_, MapiCall::FolderCopyMessages, [&]() -> HRESULT {
    if (!lpMsgList || !lpDestFolder || lpProgress)
      return MAPI_E_INVALID_PARAMETER;
    if (lpInterface && *lpInterface != IID_IMAPIFolder)
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    // Every interface pointer handed out is its object's address, IUnknown first.
    auto *dest = dynamic_cast<FolderObject *>(static_cast<IUnknown *>(lpDestFolder));
    if (!dest)
      return MAPI_E_INVALID_PARAMETER;
    bool move = (ulFlags & MESSAGE_MOVE) != 0;
    ULONG done = 0;
    HRESULT lastError = S_OK;
    for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
      const SBinary &entry = lpMsgList->lpbin[i];
      MapiEntryBytes message(entry.lpb, entry.lpb + (entry.lpb ? entry.cb : 0));
      MapiEntryBytes result;
      HRESULT hr = session_->provider->copyMessage(session_->driverSession, message, id_,
                                                   dest->entryId(), move, &result);
      if (hr == S_OK)
        ++done;
      else
        lastError = hr;
    }
    if (lastError == S_OK)
      return S_OK;
    return done > 0 ? MAPI_W_PARTIAL_COMPLETION : lastError;
  });
}

} // namespace qm_mapi
