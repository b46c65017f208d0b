#include "platform/com/stream.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

class MemoryStream final : public IStream {
public:
  MemoryStream(std::vector<BYTE> bytes, const MemoryStreamFaults &faults)
      : bytes_(std::move(bytes)), faults_(faults)
  {
  }

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStream) {
      AddRef();
      *ppv = static_cast<IStream *>(this);
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
    if (!pv && cb > 0)
      return STG_E_INVALIDPOINTER;
    if (reads_++ == faults_.failingRead)
      return STG_E_READFAULT;
    std::size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    std::size_t n = std::min<std::size_t>(cb, left);
    bool short_ = false;
    if (faults_.maxChunk > 0 && n > faults_.maxChunk) {
      n = faults_.maxChunk;
      short_ = true;
    }
    if (n > 0)
      std::memcpy(pv, bytes_.data() + position_, n);
    position_ += n;
    if (pcbRead)
      *pcbRead = static_cast<ULONG>(n);
    return n == cb || short_ ? S_OK : S_FALSE;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *newPosition) override
  {
    LONGLONG base;
    switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<LONGLONG>(position_);
      break;
    case STREAM_SEEK_END:
      base = static_cast<LONGLONG>(bytes_.size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
    }
    if (move.QuadPart < -base || move.QuadPart > INT64_MAX - base)
      return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::size_t>(base + move.QuadPart);
    if (newPosition)
      newPosition->QuadPart = position_;
    return S_OK;
  }

private:
  ~MemoryStream() override = default;

  std::atomic<ULONG> refs_{1}; // references held
  std::vector<BYTE> bytes_;    // the stream's own copy of the data
  std::size_t position_ = 0;   // offset of the next byte to read
  MemoryStreamFaults faults_;  // failures to simulate
  int reads_ = 0;              // Read calls so far
};

} // namespace

HRESULT CreateStreamOnMemory(const void *data, std::size_t size, IStream **stream,
                             const MemoryStreamFaults &faults)
{
  if (!stream)
    return E_POINTER;
  *stream = nullptr;
  if (!data && size > 0)
    return E_POINTER;
  try {
    const BYTE *p = static_cast<const BYTE *>(data);
    *stream = new MemoryStream(std::vector<BYTE>(p, p + size), faults);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}
