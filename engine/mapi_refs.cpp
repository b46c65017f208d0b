#include "engine/mapi_refs.h"

PropRead readProp(IMAPIProp *obj, ULONG tag, MapiBuffer<SPropValue> *value)
{
  OneTag tags(tag);
  ULONG count = 0;
  HRESULT hr = obj->GetProps(tags.get(), MAPI_UNICODE, &count, value->put());
  const SPropValue *v = value->get();
  if (hr == S_OK && count > 0 && v)
    // A property of another type comes under its own tag: not a value here.
    return v->ulPropTag == tag ? PropRead::Value : PropRead::Absent;
  // A missing property comes back with a warning and an error-typed value.
  if (hr == MAPI_W_ERRORS_RETURNED && count > 0 && v && PROP_TYPE(v->ulPropTag) == PT_ERROR &&
      v->Value.err == MAPI_E_NOT_FOUND)
    return PropRead::Absent;
  return PropRead::Failed;
}

bool readOneProp(IMAPIProp *obj, ULONG tag, MapiBuffer<SPropValue> *value)
{
  return readProp(obj, tag, value) == PropRead::Value;
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
