// IDispatch, the late-binding interface that dual interfaces (the contacts
// and calendar object model among them) derive from, and the automation
// types their methods use. Only the virtual-table layout is needed here:
// callers in this system bind early, through the derived interfaces.
#pragma once

#include "platform/com/unknown.h"

using DISPID = LONG;
using LCID = DWORD;
using VARIANT_BOOL = std::int16_t;
using DATE = double; // days since 1899-12-30, the fraction being the time of day

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);

// Automation structures, opaque here: no object of this system offers type
// information or late binding.
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;

// {00020400-0000-0000-C000-000000000046}
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT *pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPWSTR *rgszNames, UINT cNames, LCID lcid,
                                DISPID *rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         DISPPARAMS *pDispParams, VARIANT *pVarResult, EXCEPINFO *pExcepInfo,
                         UINT *puArgErr) = 0;
};
