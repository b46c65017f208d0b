// Line reading over any bytes: the first byte picks the window size, the
// second the stream's piece size and a failing read; window and line buffer
// are exactly n bytes.
#include "engine/header_line.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size < 2)
    return 0;
  std::size_t n = 1 + data[0] % 64;
  MemoryStreamFaults faults;
  faults.maxChunk = data[1] & 0x0F;
  faults.failingRead = (data[1] & 0x80) ? (data[1] >> 4 & 0x07) : -1;
  IStream *stream = nullptr;
  if (CreateStreamOnMemory(data + 2, size - 2, &stream, faults) != S_OK)
    return 0;
  std::vector<char> window(n), line(n);
  char *end = window.data();
  std::size_t lines = 0;
  while (readHeaderLine(stream, window.data(), &end, line.data(), n)) {
    if (std::strlen(line.data()) >= n || end < window.data() || end > window.data() + n)
      __builtin_trap();
    if (++lines > size)
      __builtin_trap(); // every line consumes at least one byte
  }
  stream->Release();
  return 0;
}
