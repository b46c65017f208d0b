// IMAPIProp for every store, folder and message, and the property stream.
#include "platform/com/stream.h"
#include "platform/mapi/mapitags.h"
#include "platform/mapi/objects.h"

#include <cstddef>

namespace qm_mapi {

namespace {

// Properties the library answers and no caller may write.
bool readOnly(ULONG tag)
{
  switch (PROP_ID(tag)) {
  case PROP_ID(PR_ENTRYID):
  case PROP_ID(PR_OBJECT_TYPE):
  case PROP_ID(PR_STORE_ENTRYID):
  case PROP_ID(PR_PARENT_ENTRYID):
    return true;
  default:
    return false;
  }
}

// A stream over a property's bytes whose Read passes the provider's fault
// injection, so that tests can make the reading of a message's text fail.
class PropertyStream final : public IStream {
public:
  PropertyStream(SessionRef session, IStream *inner) : session_(std::move(session)), inner_(inner) {}
  ~PropertyStream() override { inner_->Release(); }

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStream) {
      *ppv = static_cast<IStream *>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override
  {
    ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead) override
  {
    if (pcbRead)
      *pcbRead = 0;
    // The stream is a copy: it stays readable after the logoff, as a stream
    // the caller already holds would.
    try {
      if (session_->provider->enter) {
        HRESULT hr = session_->provider->enter(session_->driverSession, MapiCall::StreamRead);
        if (hr != S_OK)
          return hr;
      }
      return inner_->Read(pv, cb, pcbRead);
    } catch (const MapiInjectedFault &) {
      throw;
    } catch (...) {
      return STG_E_READFAULT;
    }
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *newPosition) override
  {
    return inner_->Seek(move, origin, newPosition);
  }

private:
  SessionRef session_;         // for the provider's fault injection
  IStream *inner_;             // the memory stream holding the bytes; owned
  std::atomic<ULONG> refs_{1}; // reference count
};

} // namespace

HRESULT createPropertyStream(const SessionRef &session, const std::string &bytes, IUnknown **out)
{
  IStream *inner = nullptr;
  HRESULT hr = CreateStreamOnMemory(bytes.data(), bytes.size(), &inner);
  if (hr != S_OK)
    return hr;
  *out = new PropertyStream(session, inner);
  return S_OK;
}

HRESULT propGetProps(FrontSession &session, const MapiEntryBytes &id, ULONG objType,
                     LPSPropTagArray tags, ULONG flags, ULONG *count, LPSPropValue *values)
{
  (void)flags; // text is always UTF-16
  if (count)
    *count = 0;
  if (values)
    *values = nullptr;
  return guarded(session, MapiCall::PropGetProps, [&]() -> HRESULT {
    if (!tags || tags->cValues == 0 || !count || !values)
      return MAPI_E_INVALID_PARAMETER;
    const ULONG *tagList = tags->aulPropTag; // runs past the declared one-element array
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * tags->cValues), &block);
    if (hr != S_OK)
      return hr;
    auto *out = static_cast<SPropValue *>(block);
    bool anyFailed = false;
    for (ULONG i = 0; i < tags->cValues; ++i) {
      MapiValue value;
      HRESULT read = readValue(session, id, objType, tagList[i], &value);
      hr = fillPropValue(read, value, tagList[i], &out[i], block, &anyFailed);
      if (hr != S_OK) {
        MAPIFreeBuffer(block);
        return hr;
      }
    }
    *count = tags->cValues;
    *values = out;
    return anyFailed ? MAPI_W_ERRORS_RETURNED : S_OK;
  });
}

HRESULT propSetProps(FrontSession &session, const MapiEntryBytes &id, ULONG count,
                     LPSPropValue values, LPSPropProblemArray *problems)
{
  if (problems)
    *problems = nullptr;
  return guarded(session, MapiCall::PropSetProps, [&]() -> HRESULT {
    if (count == 0 || !values)
      return MAPI_E_INVALID_PARAMETER;
    std::vector<SPropProblem> failed;
    for (ULONG i = 0; i < count; ++i) {
      ULONG tag = values[i].ulPropTag;
      MapiValue value;
      HRESULT hr = readOnly(tag) ? MAPI_E_NO_ACCESS : toMapiValue(values[i], &value);
      if (hr == S_OK)
        hr = session.provider->setProp(session.driverSession, id, value);
      if (hr != S_OK)
        failed.push_back(SPropProblem{i, tag, hr});
    }
    if (failed.empty() || !problems)
      return S_OK;
    void *block = nullptr;
    std::size_t size = offsetof(SPropProblemArray, aProblem) + sizeof(SPropProblem) * failed.size();
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(size), &block);
    if (hr != S_OK)
      return hr;
    auto *list = static_cast<SPropProblemArray *>(block);
    list->cProblem = static_cast<ULONG>(failed.size());
    SPropProblem *slots = list->aProblem;
    for (std::size_t i = 0; i < failed.size(); ++i)
      slots[i] = failed[i];
    *problems = list;
    return S_OK;
  });
}

HRESULT propOpenProperty(const SessionRef &session, const MapiEntryBytes &id, ULONG tag,
                         LPCIID iid, ULONG options, ULONG flags, LPUNKNOWN *out)
{
  (void)options; // no interface options apply to a read-only stream
  if (out)
    *out = nullptr;
  return guarded(*session, MapiCall::PropOpenProperty, [&]() -> HRESULT {
    if (!out || !iid)
      return MAPI_E_INVALID_PARAMETER;
    if (flags & (MAPI_CREATE | MAPI_MODIFY))
      return MAPI_E_NO_SUPPORT;
    if (*iid != IID_IStream)
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    if (PROP_TYPE(tag) != PT_BINARY)
      return MAPI_E_NO_SUPPORT;
    std::string bytes;
    HRESULT hr = session->provider->readStream(session->driverSession, id, tag, &bytes);
    if (hr != S_OK)
      return hr;
    return createPropertyStream(session, bytes, out);
  });
}

} // namespace qm_mapi
