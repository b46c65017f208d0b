#include "engine/header_line.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes asked of the stream per read.
constexpr std::size_t READ_CHUNK = 128;

bool isBreak(char c) { return c == '\r' || c == '\n'; }

} // namespace

bool readHeaderLine(IStream *stream, char *window, char **end, char *line, std::size_t n)
{
  if (!stream || !window || !end || !line || n == 0 || *end < window ||
      *end > window + n)
    return false;
  std::size_t valid = static_cast<std::size_t>(*end - window);
  std::size_t scan = 0;
  for (;;) {
    // Up to the byte before the last valid one: the byte after a break
    // must be there to tell a two-byte break from two breaks.
    while (scan + 1 < valid && !isBreak(window[scan]))
      ++scan;
    if (scan + 1 < valid)
      break;
    std::size_t room = std::min(n - valid, READ_CHUNK);
    if (room == 0)
      return false;
    ULONG got = 0;
    HRESULT hr = stream->Read(window + valid, static_cast<ULONG>(room), &got);
    if (FAILED(hr) || got == 0)
      return false;
    valid += std::min<std::size_t>(got, room);
    *end = window + valid;
  }
  std::size_t length = std::min(scan, n - 1);
  std::memcpy(line, window, length);
  line[length] = '\0';
  std::size_t after = scan + 1;
  char next = window[after];
  if (isBreak(next) && next != window[scan])
    ++after;
  std::memmove(window, window + after, valid - after);
  *end = window + (valid - after);
  return true;
}
