// The selection the host hands over, and whether the commands can use it.
#include "inboxmenu/extension_object.h"
#include "inboxmenu/stores.h"
#include "platform/mapi/mapix.h"
#include "platform/window/clipboard.h"

namespace {

// The property of the first reference whose bits make the commands unusable.
constexpr ULONG SELECTION_STATE_TAG = 0x36010003;
constexpr ULONG UNUSABLE_BITS = 0x00100000 | 0x00200000 | 0x00400000;

bool isType(const ItemRef &ref, const GUID &type) { return ref.type && *ref.type == type; }

} // namespace

HRESULT InboxMenuExtension::getSelection(Selection *out)
{
  if (!site)
    return E_FAIL;
  IDataObject *data = nullptr;
  HRESULT hr = site->QueryInterface(IID_IDataObject, reinterpret_cast<void **>(&data));
  if (FAILED(hr))
    return hr;
  FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CF_ITEMREFARRAY_NAME)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  hr = data->GetData(&format, &out->medium);
  data->Release();
  if (FAILED(hr)) {
    out->medium = STGMEDIUM{TYMED_NULL, nullptr, nullptr};
    return hr;
  }
  if (!out->medium.hGlobal) {
    out->release();
    return E_FAIL;
  }
  out->record = static_cast<const ItemRefArray *>(out->medium.hGlobal);
  return S_OK;
}

bool InboxMenuExtension::selectionIsUsable()
{
  Selection selection;
  if (FAILED(getSelection(&selection)))
    return false;
  const ItemRefArray *record = selection.record;
  bool usable = record->cRefs == 2 && isType(record->refs[0], ITEMREF_TYPE_FOLDER);
  const SBinary *folder = usable ? record->refs[0].entryId : nullptr;
  usable = usable && folder && folder->cb != 0 && folder->lpb;

  IUnknown *object = nullptr;
  IMAPIProp *props = nullptr;
  if (usable) {
    ULONG objType = 0;
    usable = SUCCEEDED(logOnToStores(&logonSession)) &&
             SUCCEEDED(logonSession->OpenEntry(folder->cb, reinterpret_cast<LPENTRYID>(folder->lpb), nullptr,
                                               0, &objType, &object)) &&
             object &&
             SUCCEEDED(object->QueryInterface(IID_IMAPIProp, reinterpret_cast<void **>(&props)));
  }
  if (usable) {
    SizedSPropTagArray(1, tags) = {1, {SELECTION_STATE_TAG}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = props->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values);
    usable = SUCCEEDED(hr) && values && count >= 1 && values[0].ulPropTag == SELECTION_STATE_TAG &&
             (static_cast<ULONG>(values[0].Value.l) & UNUSABLE_BITS) == 0;
    MAPIFreeBuffer(values);
  }
  usable = usable && isType(record->refs[1], ITEMREF_TYPE_MESSAGE);

  if (props)
    props->Release();
  if (object)
    object->Release();
  logOffFromStores(&logonSession);
  selection.release();
  return usable;
}
