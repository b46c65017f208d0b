// A message text's charset and body over any bytes, and the Content-Type
// rule over each zero-separated piece of them.
#include "engine/message_text.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  IStream *stream = nullptr;
  if (CreateStreamOnMemory(data, size, &stream) != S_OK)
    return 0;
  std::u16string text;
  readMessageText(stream, &text); // only its safety matters here
  stream->Release();

  std::vector<char> lines(data, data + size);
  lines.push_back('\0');
  ContentTypeCharset state;
  for (std::size_t at = 0; at < lines.size();) {
    const char *line = lines.data() + at;
    scanContentTypeLine(&state, line);
    while (lines[at])
      ++at;
    ++at;
  }
  return 0;
}
