#include "engine/mapi_refs.h"

bool readOneProp(IMAPIProp *obj, ULONG tag, MapiBuffer<SPropValue> *value)
{
  OneTag tags(tag);
  ULONG count = 0;
  HRESULT hr = obj->GetProps(tags.get(), MAPI_UNICODE, &count, value->put());
  // A missing property comes back with a warning and an error-typed value,
  // a property of another type under its own tag: neither is a value here.
  return hr == S_OK && count > 0 && value->get() && value->get()->ulPropTag == tag;
}

bool rowEntryId(const SRowSet *rows, ULONG *size, LPENTRYID *id)
{
  if (!rows || rows->cRows < 1 || rows->aRow[0].cValues < 1 || !rows->aRow[0].lpProps)
    return false;
  const SPropValue &column = rows->aRow[0].lpProps[0];
  if (PROP_TYPE(column.ulPropTag) != PT_BINARY || !column.Value.bin.lpb || column.Value.bin.cb == 0)
    return false;
  *size = column.Value.bin.cb;
  *id = reinterpret_cast<LPENTRYID>(column.Value.bin.lpb);
  return true;
}
