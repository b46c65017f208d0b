#include "tools/inboxhost/selection_site.h"

#include "platform/window/clipboard.h"

#include <new>

SelectionSite *SelectionSite::create(MapiEntryBytes folder, MapiEntryBytes message)
{
  return new (std::nothrow) SelectionSite(std::move(folder), std::move(message));
}

SelectionSite::SelectionSite(MapiEntryBytes folder, MapiEntryBytes message)
    : folderBytes_(std::move(folder)), messageBytes_(std::move(message))
{
  folderId_ = SBinary{static_cast<ULONG>(folderBytes_.size()), folderBytes_.data()};
  messageId_ = SBinary{static_cast<ULONG>(messageBytes_.size()), messageBytes_.data()};
  record_.cRefs = 2;
  record_.refs[0] = ItemRef{&ITEMREF_TYPE_FOLDER, &folderId_};
  record_.refs[1] = ItemRef{&ITEMREF_TYPE_MESSAGE, &messageId_};
}

HRESULT SelectionSite::QueryInterface(REFIID riid, void **ppv)
{
  if (!ppv)
    return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IDataObject) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IDataObject *>(this);
  AddRef();
  return S_OK;
}

ULONG SelectionSite::AddRef() { return ++references_; }

ULONG SelectionSite::Release()
{
  ULONG left = --references_;
  if (left == 0)
    delete this;
  return left;
}

HRESULT SelectionSite::QueryGetData(FORMATETC *pformatetc)
{
  if (!pformatetc)
    return E_INVALIDARG;
  if (pformatetc->cfFormat != RegisterClipboardFormatW(CF_ITEMREFARRAY_NAME) || pformatetc->ptd ||
      pformatetc->dwAspect != DVASPECT_CONTENT || pformatetc->lindex != -1)
    return DV_E_FORMATETC;
  return (pformatetc->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
}

HRESULT SelectionSite::GetData(FORMATETC *pformatetcIn, STGMEDIUM *pmedium)
{
  if (!pmedium)
    return E_INVALIDARG;
  HRESULT hr = QueryGetData(pformatetcIn);
  if (FAILED(hr))
    return hr;
  AddRef(); // the medium's owner
  *pmedium = STGMEDIUM{TYMED_HGLOBAL, &record_, static_cast<IDataObject *>(this)};
  return S_OK;
}

HRESULT SelectionSite::GetDataHere(FORMATETC *, STGMEDIUM *) { return E_NOTIMPL; }
