// What the contacts and calendar server's objects share: reference counting,
// IDispatch's answers (they offer no type information, so no late binding),
// and the passing of texts and flags across the interfaces.
#pragma once

#include "platform/pim/pimstore.h"

#include <atomic>
#include <string>

template <class Interface>
class PimObject : public Interface {
public:
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override
  {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT GetTypeInfoCount(UINT *pctinfo) override
  {
    if (!pctinfo)
      return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) override
  {
    if (ppTInfo)
      *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT GetIDsOfNames(REFIID, LPWSTR *, UINT, LCID, DISPID *) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
  {
    return DISP_E_MEMBERNOTFOUND;
  }

protected:
  // Answers QueryInterface for IUnknown, IDispatch and the interfaces given.
  HRESULT answer(REFIID riid, void **ppv, std::initializer_list<IID> own)
  {
    if (!ppv)
      return E_POINTER;
    *ppv = nullptr;
    bool match = riid == IID_IUnknown || riid == IID_IDispatch;
    for (const IID &iid : own)
      match = match || riid == iid;
    if (!match)
      return E_NOINTERFACE;
    *ppv = static_cast<Interface *>(this);
    AddRef();
    return S_OK;
  }

  ~PimObject() override = default;

private:
  std::atomic<ULONG> references_{1}; // the creator holds the first reference
};

// A text handed out as a new BSTR: S_OK, E_POINTER, or E_OUTOFMEMORY.
HRESULT returnText(const std::u16string &text, BSTR *out);

// A text handed in. Read up to its terminator, so that a plain UTF-16 string
// works as well as a BSTR (callers on the handheld pass either); null is empty.
std::u16string textIn(BSTR text);

inline VARIANT_BOOL variantBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// Stores a value through an out pointer: E_POINTER when it is null.
template <class T>
HRESULT returnValue(T value, T *out)
{
  if (!out)
    return E_POINTER;
  *out = value;
  return S_OK;
}
