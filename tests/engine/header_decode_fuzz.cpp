// Header decoding over any bytes: the first byte picks the output capacity;
// every buffer is exactly as large as the decoders are told, so a write past
// it or a read past the input is caught.
#include "engine/header_decode.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size == 0)
    return 0;
  std::size_t capacity = data[0];
  std::vector<char> value(data + 1, data + size);
  value.push_back('\0');
  std::vector<char> pristine = value;

  std::vector<WCHAR> out(capacity);
  decodeHeaderText(value.data(), out.data(), capacity);
  if (capacity > 0) {
    std::size_t n = 0;
    while (n < capacity && out[n])
      ++n;
    if (n == capacity)
      __builtin_trap(); // unterminated
  }

  std::vector<char> bytes(capacity);
  std::size_t n = decodeBase64(pristine.data(), bytes.data(), capacity);
  if (capacity > 0 && (n >= capacity || bytes[n] != '\0'))
    __builtin_trap();
  n = decodeQuotedPrintable(pristine.data(), bytes.data(), capacity);
  if (capacity > 0 && (n >= capacity || bytes[n] != '\0'))
    __builtin_trap();
  return 0;
}
