// OLE's counted strings. A BSTR points at UTF-16 text that is terminated and,
// four bytes before it, carries its length in bytes, so it may hold embedded
// nulls. Strings handed out by COM objects are freed by the receiver with
// SysFreeString; a null BSTR is a valid empty string everywhere.
#pragma once

#include "platform/base/types.h"

using BSTR = WCHAR *;

// A new BSTR holding the terminated text s; null when s is null or memory
// runs out.
BSTR SysAllocString(const WCHAR *s);

// A new BSTR of len units copied from s, or zero-filled when s is null; the
// text is terminated after them. Null when memory runs out.
BSTR SysAllocStringLen(const WCHAR *s, UINT len);

// Frees a BSTR from the calls above; null is ignored.
void SysFreeString(BSTR s);

// Units in the string (from its prefix, not up to the first null); 0 for null.
UINT SysStringLen(BSTR s);

// Bytes in the string, as its prefix holds them; 0 for null.
UINT SysStringByteLen(BSTR s);
