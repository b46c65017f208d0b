#include "platform/com/guidtext.h"

#include <cstring>

namespace {

// Positions of the hex digits of the braced form, as groups of 8-4-4-4-12.
constexpr int TEXT_UNITS = 38; // without the terminator

void putHex(WCHAR *out, std::uint64_t value, int digits)
{
  static const char hex[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i, value >>= 4)
    out[i] = static_cast<WCHAR>(hex[value & 0xF]);
}

int hexValue(WCHAR c)
{
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text; false when one is not a hex digit.
bool getHex(const WCHAR *text, int digits, std::uint64_t *value)
{
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = hexValue(text[i]);
    if (v < 0)
      return false;
    *value = (*value << 4) | static_cast<unsigned>(v);
  }
  return true;
}

bool parseGuid(LPCWSTR t, GUID *g)
{
  // Every unit up to the closing brace is checked before the next is read,
  // so a short text stops at its terminator.
  if (t[0] != u'{')
    return false;
  std::uint64_t v;
  if (!getHex(t + 1, 8, &v) || t[9] != u'-')
    return false;
  g->Data1 = static_cast<DWORD>(v);
  if (!getHex(t + 10, 4, &v) || t[14] != u'-')
    return false;
  g->Data2 = static_cast<WORD>(v);
  if (!getHex(t + 15, 4, &v) || t[19] != u'-')
    return false;
  g->Data3 = static_cast<WORD>(v);
  if (!getHex(t + 20, 4, &v) || t[24] != u'-')
    return false;
  g->Data4[0] = static_cast<BYTE>(v >> 8);
  g->Data4[1] = static_cast<BYTE>(v);
  if (!getHex(t + 25, 12, &v) || t[37] != u'}' || t[38] != 0)
    return false;
  for (int i = 0; i < 6; ++i)
    g->Data4[2 + i] = static_cast<BYTE>(v >> (8 * (5 - i)));
  return true;
}

} // namespace

int StringFromGUID2(REFIID g, LPWSTR buffer, int cchMax)
{
  if (!buffer || cchMax < TEXT_UNITS + 1)
    return 0;
  WCHAR *o = buffer;
  o[0] = u'{';
  putHex(o + 1, g.Data1, 8);
  o[9] = u'-';
  putHex(o + 10, g.Data2, 4);
  o[14] = u'-';
  putHex(o + 15, g.Data3, 4);
  o[19] = u'-';
  putHex(o + 20, (std::uint64_t{g.Data4[0]} << 8) | g.Data4[1], 4);
  o[24] = u'-';
  std::uint64_t node = 0;
  for (int i = 2; i < 8; ++i)
    node = (node << 8) | g.Data4[i];
  putHex(o + 25, node, 12);
  o[37] = u'}';
  o[38] = 0;
  return TEXT_UNITS + 1;
}

HRESULT CLSIDFromString(LPCWSTR text, CLSID *clsid)
{
  if (!text || !clsid)
    return E_INVALIDARG;
  if (parseGuid(text, clsid))
    return S_OK;
  std::memset(clsid, 0, sizeof *clsid);
  return CO_E_CLSSTRING;
}

HRESULT IIDFromString(LPCWSTR text, IID *iid)
{
  if (!text || !iid)
    return E_INVALIDARG;
  if (parseGuid(text, iid))
    return S_OK;
  std::memset(iid, 0, sizeof *iid);
  return E_INVALIDARG;
}
