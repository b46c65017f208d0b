// The recipients read from a message's transport headers, over any bytes: the
// accessor's To/CC reading with its write-back and the record's completion.
// The first byte picks the buffers asked for and the capacity, the second the
// stream's piece size and a failing read; the rest is the header text.
#include "engine/props.h"
#include "engine/recipients.h"
#include "platform/com/stream.h"
#include "platform/mapi/mapitags.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The checkpoints that the completion records go to a data root of the
// fuzzer's own, never the user's.
struct FuzzRoot {
  FuzzRoot()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()))
      path = pattern;
    setenv("QUILLMARSH_ROOT", path.c_str(), 1);
  }
  ~FuzzRoot()
  {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path; // the temporary root
};
FuzzRoot fuzzRoot;

// A message whose store has no recipient lines and whose transport headers
// are the input.
struct FuzzMessage final : IMAPIProp {
  const std::uint8_t *text;        // the header text
  std::size_t size;                // its bytes
  MemoryStreamFaults faults;       // how the stream reads
  std::size_t capacity;            // the capacity given to getRecipients
  HRESULT QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetProps(LPSPropTagArray, ULONG, ULONG *count, LPSPropValue *values) override
  {
    *count = 0;
    *values = nullptr;
    return MAPI_E_NOT_FOUND;
  }
  HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray *) override
  {
    // The value written back is the caller's terminated buffer.
    if (count != 1 || (values->ulPropTag != PR_DISPLAY_TO && values->ulPropTag != PR_DISPLAY_CC))
      __builtin_trap();
    std::size_t n = 0;
    while (n < capacity && values->Value.lpszW[n])
      ++n;
    if (n == capacity)
      __builtin_trap();
    return S_OK;
  }
  HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG, ULONG, LPUNKNOWN *out) override
  {
    if (tag != PR_CE_MIME_TEXT || !iid || *iid != IID_IStream)
      return MAPI_E_NO_SUPPORT;
    IStream *stream = nullptr;
    HRESULT hr = CreateStreamOnMemory(text, size, &stream, faults);
    *out = stream;
    return hr;
  }
};

void checkTerminated(const WCHAR *buffer, std::size_t capacity)
{
  for (std::size_t i = 0; i < capacity; ++i)
    if (!buffer[i])
      return;
  __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size < 2)
    return 0;
  FuzzMessage message;
  message.text = data + 2;
  message.size = size - 2;
  message.faults.maxChunk = data[1] & 0x0F;
  message.faults.failingRead = (data[1] & 0x80) ? (data[1] >> 4 & 0x07) : -1;
  message.capacity = 1 + (data[0] >> 2);
  bool askTo = data[0] & 1;
  bool askCc = data[0] & 2;

  // Canaries behind the capacity catch a write past it.
  std::vector<WCHAR> to(message.capacity + 1, u'#'), cc(message.capacity + 1, u'#');
  to[0] = cc[0] = 0;
  bool found = getRecipients(&message, askTo ? to.data() : nullptr, askCc ? cc.data() : nullptr, message.capacity);
  if (to[message.capacity] != u'#' || cc[message.capacity] != u'#')
    __builtin_trap();
  checkTerminated(to.data(), message.capacity);
  checkTerminated(cc.data(), message.capacity);
  if (found && !askTo && !askCc)
    __builtin_trap();

  static const BYTE id[] = {1, 2, 3, 4};
  MessageInfo *info = newMessageInfo(sizeof id, id);
  fillRecipientsFromHeaders(info, &message);
  checkTerminated(info->toLine, MESSAGE_TEXT_CHARS);
  checkTerminated(info->ccLine, MESSAGE_TEXT_CHARS);
  freeMessageInfo(info);
  return 0;
}
