// GUIDs as text, in the registry's form "{05058F23-20BE-11D2-8F18-0000F87A4335}".
#pragma once

#include "platform/com/unknown.h"

constexpr HRESULT CO_E_CLSSTRING = static_cast<HRESULT>(0x800401F3);

// Writes the braced, upper-case form of guid into buffer (cchMax units).
// Returns the units written, terminator included (39), or 0 when the buffer
// is too small (nothing is written then).
int StringFromGUID2(REFIID guid, LPWSTR buffer, int cchMax);

// Reads a class id in the braced form (hex digits in either case). S_OK;
// CO_E_CLSSTRING when the text is not such a GUID (*clsid is then zeroed);
// E_INVALIDARG for a null argument. Program ids are not looked up.
HRESULT CLSIDFromString(LPCWSTR text, CLSID *clsid);

// The same for an interface id; E_INVALIDARG when the text is not a GUID.
HRESULT IIDFromString(LPCWSTR text, IID *iid);
