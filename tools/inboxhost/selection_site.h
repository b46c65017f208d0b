// The Inbox's site for its menu extensions: the object an extension is given
// with SetSite. Its data object hands out the selection, the folder and the
// selected message, in the "ItemRefArray" format.
#pragma once

#include "platform/com/dataobject.h"
#include "platform/mapi/provider.h"
#include "platform/shell/menu_extension.h"

#include <atomic>

class SelectionSite final : public IDataObject {
public:
  // A new site with one reference, selecting the message of entry id
  // `message` in the folder of entry id `folder`.
  static SelectionSite *create(MapiEntryBytes folder, MapiEntryBytes message);

  HRESULT QueryInterface(REFIID riid, void **ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // The selection record in a medium whose owner is this site: the record
  // stays valid until the medium is given back (ReleaseStgMedium).
  HRESULT GetData(FORMATETC *pformatetcIn, STGMEDIUM *pmedium) override;
  HRESULT GetDataHere(FORMATETC *pformatetc, STGMEDIUM *pmedium) override;
  HRESULT QueryGetData(FORMATETC *pformatetc) override;

private:
  SelectionSite(MapiEntryBytes folder, MapiEntryBytes message);
  ~SelectionSite() override = default;

  std::atomic<ULONG> references_{1};
  MapiEntryBytes folderBytes_;  // reference 0's entry id
  MapiEntryBytes messageBytes_; // reference 1's entry id
  SBinary folderId_;            // the records point into the byte vectors above
  SBinary messageId_;
  ItemRefArray record_;         // what GetData hands out
};
