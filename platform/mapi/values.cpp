// Property values: between the provider's plain values and the SPropValue
// structures handed to callers.
#include "platform/clock/clock.h"
#include "platform/mapi/frontend.h"
#include "platform/mapi/mapitags.h"

#include <cstring>

MapiValue mapiLong(ULONG tag, LONG value)
{
  MapiValue v;
  v.tag = tag;
  v.l = value;
  return v;
}

MapiValue mapiBool(ULONG tag, unsigned short value)
{
  MapiValue v;
  v.tag = tag;
  v.l = value;
  return v;
}

MapiValue mapiTime(ULONG tag, ULONGLONG fileTime)
{
  MapiValue v;
  v.tag = tag;
  v.u64 = fileTime;
  return v;
}

MapiValue mapiText(ULONG tag, std::u16string text)
{
  MapiValue v;
  v.tag = tag;
  v.text = std::move(text);
  return v;
}

MapiValue mapiBinary(ULONG tag, std::vector<BYTE> bytes)
{
  MapiValue v;
  v.tag = tag;
  v.bytes = std::move(bytes);
  return v;
}

const char *mapiCallName(MapiCall call)
{
  switch (call) {
  case MapiCall::Any: return "Any";
  case MapiCall::SessionGetMsgStoresTable: return "SessionGetMsgStoresTable";
  case MapiCall::SessionOpenMsgStore: return "SessionOpenMsgStore";
  case MapiCall::SessionOpenEntry: return "SessionOpenEntry";
  case MapiCall::SessionLogoff: return "SessionLogoff";
  case MapiCall::StoreAdvise: return "StoreAdvise";
  case MapiCall::StoreUnadvise: return "StoreUnadvise";
  case MapiCall::StoreOpenEntry: return "StoreOpenEntry";
  case MapiCall::StoreGetReceiveFolder: return "StoreGetReceiveFolder";
  case MapiCall::PropGetProps: return "PropGetProps";
  case MapiCall::PropSetProps: return "PropSetProps";
  case MapiCall::PropOpenProperty: return "PropOpenProperty";
  case MapiCall::ContainerGetContentsTable: return "ContainerGetContentsTable";
  case MapiCall::ContainerGetHierarchyTable: return "ContainerGetHierarchyTable";
  case MapiCall::FolderCreateFolder: return "FolderCreateFolder";
  case MapiCall::FolderCopyMessages: return "FolderCopyMessages";
  case MapiCall::TableSetColumns: return "TableSetColumns";
  case MapiCall::TableQueryRows: return "TableQueryRows";
  case MapiCall::TableGetRowCount: return "TableGetRowCount";
  case MapiCall::StreamRead: return "StreamRead";
  case MapiCall::Count: break;
  }
  return "?";
}

namespace qm_mapi {

MapiEntryBytes entryBytes(ULONG cb, const ENTRYID *id)
{
  if (!id || cb == 0)
    return {};
  const BYTE *p = reinterpret_cast<const BYTE *>(id);
  return MapiEntryBytes(p, p + cb);
}

HRESULT copyBytesMore(const MapiEntryBytes &bytes, void *root, BYTE **out)
{
  *out = nullptr;
  if (bytes.empty())
    return S_OK;
  void *p = nullptr;
  HRESULT hr = MAPIAllocateMore(static_cast<ULONG>(bytes.size()), root, &p);
  if (hr != S_OK)
    return hr;
  std::memcpy(p, bytes.data(), bytes.size());
  *out = static_cast<BYTE *>(p);
  return S_OK;
}

namespace {

// True for the store's Outbox, Sent Items and Drafts.
bool holdsUnreceivedMail(FrontSession &session, const MapiEntryBytes &folder)
{
  MapiObjectInfo info;
  if (session.provider->locate(session.driverSession, folder, &info) != S_OK)
    return false;
  for (ULONG tag : {PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID, PR_CE_IPM_DRAFTS_ENTRYID}) {
    MapiValue special;
    if (session.provider->getProp(session.driverSession, info.store, tag, &special) == S_OK &&
        special.tag == tag && special.bytes == folder)
      return true;
  }
  return false;
}

} // namespace

HRESULT readValue(FrontSession &session, const MapiEntryBytes &id, ULONG objType, ULONG tag,
                  MapiValue *value)
{
  ULONG type = PROP_TYPE(tag);
  ULONG pid = PROP_ID(tag);
  if (pid == PROP_ID(PR_ENTRYID) && (type == PT_BINARY || type == PT_UNSPECIFIED)) {
    *value = mapiBinary(PR_ENTRYID, id);
    return S_OK;
  }
  if (pid == PROP_ID(PR_OBJECT_TYPE) && (type == PT_LONG || type == PT_UNSPECIFIED)) {
    *value = mapiLong(PR_OBJECT_TYPE, static_cast<LONG>(objType));
    return S_OK;
  }
  // The Inbox's menu extension reads this tag of a message to see whether the
  // message is complete; messages answer it with their download state.
  if (objType == MAPI_MESSAGE && pid == PROP_ID(PR_FOLDER_TYPE) &&
      (type == PT_LONG || type == PT_UNSPECIFIED)) {
    HRESULT hr = session.provider->getProp(session.driverSession, id, PR_MSG_STATUS, value);
    if (hr == S_OK && value->tag == PR_MSG_STATUS)
      value->tag = PR_FOLDER_TYPE;
    return hr;
  }
  // The Inbox's menu extension reads this tag of the folder that holds the
  // selected message, and greys its commands in folders of mail that was
  // not received.
  if (objType == MAPI_FOLDER && pid == PROP_ID(PR_FOLDER_TYPE) &&
      (type == PT_LONG || type == PT_UNSPECIFIED)) {
    HRESULT hr = session.provider->getProp(session.driverSession, id, PR_FOLDER_TYPE, value);
    if (hr == S_OK && value->tag == PR_FOLDER_TYPE && holdsUnreceivedMail(session, id))
      value->l = static_cast<LONG>(static_cast<ULONG>(value->l) | FOLDER_UNRECEIVED_MAIL);
    return hr;
  }
  return session.provider->getProp(session.driverSession, id, tag, value);
}

HRESULT fillPropValue(HRESULT hr, const MapiValue &value, ULONG requestedTag, SPropValue *dst,
                      void *root, bool *failed)
{
  std::memset(dst, 0, sizeof *dst);
  auto fail = [&](SCODE why) {
    dst->ulPropTag = CHANGE_PROP_TYPE(requestedTag, PT_ERROR);
    dst->Value.err = why;
    *failed = true;
    return S_OK;
  };
  if (hr != S_OK)
    return fail(hr);
  dst->ulPropTag = value.tag;
  switch (PROP_TYPE(value.tag)) {
  case PT_I2:
    dst->Value.i = static_cast<short>(value.l);
    return S_OK;
  case PT_LONG:
    dst->Value.l = value.l;
    return S_OK;
  case PT_BOOLEAN:
    dst->Value.b = static_cast<unsigned short>(value.l);
    return S_OK;
  case PT_ERROR:
    dst->Value.err = value.l;
    *failed = true;
    return S_OK;
  case PT_I8:
    dst->Value.li = static_cast<LONGLONG>(value.u64);
    return S_OK;
  case PT_SYSTIME:
    dst->Value.ft = u64ToFileTime(value.u64);
    return S_OK;
  case PT_UNICODE: {
    void *p = nullptr;
    HRESULT r = MAPIAllocateMore(static_cast<ULONG>((value.text.size() + 1) * sizeof(WCHAR)), root, &p);
    if (r != S_OK)
      return r;
    std::memcpy(p, value.text.data(), value.text.size() * sizeof(WCHAR));
    dst->Value.lpszW = static_cast<LPWSTR>(p);
    return S_OK;
  }
  case PT_STRING8: {
    void *p = nullptr;
    HRESULT r = MAPIAllocateMore(static_cast<ULONG>(value.bytes.size() + 1), root, &p);
    if (r != S_OK)
      return r;
    if (!value.bytes.empty())
      std::memcpy(p, value.bytes.data(), value.bytes.size());
    dst->Value.lpszA = static_cast<char *>(p);
    return S_OK;
  }
  case PT_BINARY: {
    BYTE *p = nullptr;
    HRESULT r = copyBytesMore(value.bytes, root, &p);
    if (r != S_OK)
      return r;
    dst->Value.bin.cb = static_cast<ULONG>(value.bytes.size());
    dst->Value.bin.lpb = p;
    return S_OK;
  }
  default:
    return fail(MAPI_E_INVALID_TYPE);
  }
}

HRESULT toMapiValue(const SPropValue &src, MapiValue *dst)
{
  *dst = MapiValue{};
  dst->tag = src.ulPropTag;
  switch (PROP_TYPE(src.ulPropTag)) {
  case PT_I2:
    dst->l = src.Value.i;
    return S_OK;
  case PT_LONG:
    dst->l = src.Value.l;
    return S_OK;
  case PT_BOOLEAN:
    dst->l = src.Value.b;
    return S_OK;
  case PT_I8:
    dst->u64 = static_cast<ULONGLONG>(src.Value.li);
    return S_OK;
  case PT_SYSTIME:
    dst->u64 = fileTimeToU64(src.Value.ft);
    return S_OK;
  case PT_UNICODE:
    if (!src.Value.lpszW)
      return MAPI_E_INVALID_PARAMETER;
    dst->text = src.Value.lpszW;
    return S_OK;
  case PT_STRING8:
    if (!src.Value.lpszA)
      return MAPI_E_INVALID_PARAMETER;
    dst->bytes.assign(src.Value.lpszA, src.Value.lpszA + std::strlen(src.Value.lpszA));
    return S_OK;
  case PT_BINARY:
    if (src.Value.bin.cb > 0 && !src.Value.bin.lpb)
      return MAPI_E_INVALID_PARAMETER;
    dst->bytes.assign(src.Value.bin.lpb, src.Value.bin.lpb + src.Value.bin.cb);
    return S_OK;
  default:
    return MAPI_E_INVALID_TYPE;
  }
}

} // namespace qm_mapi
