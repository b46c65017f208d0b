// Uniform data transfer: a data object hands out its data in a format the
// caller names (a registered clipboard format), in a storage medium.
//
// Differences from the handheld, on purpose: only global-memory media exist
// here, and a data object always names an owner in pUnkForRelease, so that
// ReleaseStgMedium hands the memory back to the object that made it (a
// global block of another module's copy of this library is never freed
// here).
#pragma once

#include "platform/com/unknown.h"

using CLIPFORMAT = WORD;
using HGLOBAL = void *;

// Aspects and media.
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_NULL = 0;

constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069);

// {0000010E-0000-0000-C000-000000000046}
inline constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// What a caller asks a data object for.
struct FORMATETC {
  CLIPFORMAT cfFormat; // the clipboard format
  void *ptd;           // target device; always null here
  DWORD dwAspect;      // DVASPECT_CONTENT
  LONG lindex;         // -1: all of the data
  DWORD tymed;         // media the caller accepts (TYMED_* bits)
};

// Where the data is.
struct STGMEDIUM {
  DWORD tymed;              // TYMED_HGLOBAL, or TYMED_NULL for no data
  HGLOBAL hGlobal;          // the data, for TYMED_HGLOBAL
  IUnknown *pUnkForRelease; // the owner of hGlobal; released by ReleaseStgMedium
};

// The first operations of IDataObject, in slot order.
struct IDataObject : IUnknown {
  // The data in a new medium owned by the caller (ReleaseStgMedium).
  // DV_E_FORMATETC for a format, aspect or index the object does not have;
  // DV_E_TYMED when none of the accepted media fits.
  virtual HRESULT GetData(FORMATETC *pformatetcIn, STGMEDIUM *pmedium) = 0;
  // The data into a medium the caller provides; E_NOTIMPL where not offered.
  virtual HRESULT GetDataHere(FORMATETC *pformatetc, STGMEDIUM *pmedium) = 0;
  // S_OK when GetData would succeed for this request, else its error.
  virtual HRESULT QueryGetData(FORMATETC *pformatetc) = 0;
};

// Gives a medium back: releases its owner (pUnkForRelease) when it names
// one, and leaves the medium empty (TYMED_NULL) either way.
void ReleaseStgMedium(STGMEDIUM *pmedium);
