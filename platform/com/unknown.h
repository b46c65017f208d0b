// COM's foundation: GUIDs and IUnknown. Every object that another component
// calls (messaging interfaces, streams, the extension's objects) derives from
// IUnknown and returns HRESULTs; exceptions never cross this boundary.
#pragma once

#include "platform/base/types.h"

#include <cstring>

struct GUID {
  DWORD Data1;   // first 8 hex digits
  WORD Data2;    // next 4
  WORD Data3;    // next 4
  BYTE Data4[8]; // last 16
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID &;
using REFCLSID = const CLSID &;

inline bool IsEqualGUID(const GUID &a, const GUID &b)
{
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(const GUID &a, const GUID &b) { return IsEqualGUID(a, b); }

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void **ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  virtual ~IUnknown() = default;
};
