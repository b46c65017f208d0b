// The window channel's decoders take whatever another process writes to a
// socket. Whatever the bytes: no read past them, a whole frame re-encodes to
// exactly the bytes it came from, and a frame's every shorter beginning is
// incomplete, never taken for a frame.
#include "platform/window/channel.h"

#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
  if (!ok)
    std::abort();
}

void requestFrom(const std::uint8_t *data, std::size_t size)
{
  ChannelRequest request;
  std::size_t consumed = 0;
  if (decodeRequest(data, size, &request, &consumed) != Decoded::Complete)
    return;
  check(consumed <= size && consumed <= CHANNEL_MAX_REQUEST);
  std::vector<std::uint8_t> again = encodeRequest(request);
  check(again.size() == consumed && std::memcmp(again.data(), data, consumed) == 0);
  ChannelRequest partial;
  std::size_t unused = 0;
  for (std::size_t cut : {consumed - 1, consumed / 2, CHANNEL_REQUEST_HEADER - 1, std::size_t{0}})
    if (cut < consumed)
      check(decodeRequest(data, cut, &partial, &unused) == Decoded::Incomplete);
}

void replyFrom(const std::uint8_t *data, std::size_t size)
{
  ChannelReply reply;
  std::size_t consumed = 0;
  if (decodeReply(data, size, &reply, &consumed) != Decoded::Complete)
    return;
  check(consumed == CHANNEL_REPLY_SIZE);
  std::vector<std::uint8_t> again = encodeReply(reply);
  check(std::memcmp(again.data(), data, consumed) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  requestFrom(data, size);
  replyFrom(data, size);
  return 0;
}
