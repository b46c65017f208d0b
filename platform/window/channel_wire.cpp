// The window channel's frames: encoding, and decoding of bytes that came
// from another process (outside data: every length is checked before use).
#include "platform/window/channel.h"
#include "platform/window/window.h"

namespace {

constexpr std::uint32_t REQUEST_MAGIC = 0x31574D51; // "QMW1"
constexpr std::uint32_t REPLY_MAGIC = 0x31524D51;   // "QMR1"

std::uint32_t get32(const std::uint8_t *p)
{
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t get64(const std::uint8_t *p)
{
  return static_cast<std::uint64_t>(get32(p)) | static_cast<std::uint64_t>(get32(p + 4)) << 32;
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put64(std::vector<std::uint8_t> &out, std::uint64_t v)
{
  put32(out, static_cast<std::uint32_t>(v));
  put32(out, static_cast<std::uint32_t>(v >> 32));
}

void putText(std::vector<std::uint8_t> &out, const std::u16string &text)
{
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

std::u16string getText(const std::uint8_t *p, std::size_t units)
{
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i)
    text[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
  return text;
}

bool nameLengthValid(std::uint32_t units)
{
  return units >= 1 && units <= CHANNEL_MAX_NAME_UNITS;
}

bool sentKind(std::uint32_t kind)
{
  return kind == static_cast<std::uint32_t>(ChannelKind::Sent) ||
         kind == static_cast<std::uint32_t>(ChannelKind::SentLending);
}

} // namespace

bool channelMessageAllowed(ChannelKind kind, UINT message, std::size_t dataBytes)
{
  if (message == WM_COPYDATA)
    return kind != ChannelKind::Posted && dataBytes <= COPYDATA_MAX_BYTES;
  if (dataBytes != 0)
    return false;
  return message == WM_NULL || (message >= WM_USER && message <= 0xBFFF);
}

bool channelTerminalNameValid(std::string_view name)
{
  if (name.empty() || name.size() > CHANNEL_MAX_TERM_NAME || name.front() == '.')
    return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
          c == '+' || c == '-' || c == '_'))
      return false;
  return true;
}

std::vector<std::uint8_t> encodeRequest(const ChannelRequest &request)
{
  std::vector<std::uint8_t> out;
  out.reserve(CHANNEL_REQUEST_HEADER + 2 * (request.className.size() + request.title.size()) +
              request.data.size());
  put32(out, REQUEST_MAGIC);
  put32(out, static_cast<std::uint32_t>(request.kind));
  put32(out, request.message);
  put32(out, static_cast<std::uint32_t>(request.className.size()));
  put32(out, static_cast<std::uint32_t>(request.title.size()));
  put32(out, static_cast<std::uint32_t>(request.data.size()));
  put64(out, request.wParam);
  put64(out, request.lParam);
  putText(out, request.className);
  putText(out, request.title);
  out.insert(out.end(), request.data.begin(), request.data.end());
  if (request.kind == ChannelKind::SentLending) {
    put32(out, static_cast<std::uint32_t>(request.terminalName.size()));
    out.insert(out.end(), request.terminalName.begin(), request.terminalName.end());
  }
  return out;
}

std::vector<std::uint8_t> encodeReply(const ChannelReply &reply)
{
  std::vector<std::uint8_t> out;
  out.reserve(CHANNEL_REPLY_SIZE);
  put32(out, REPLY_MAGIC);
  put32(out, static_cast<std::uint32_t>(reply.status));
  put64(out, reply.result);
  return out;
}

Decoded decodeRequest(const std::uint8_t *bytes, std::size_t size, ChannelRequest *out,
                      std::size_t *consumed)
{
  // Each field is judged as soon as it has arrived, so a bad frame is
  // refused without waiting for (or reserving room for) the rest of it.
  if (size >= 4 && get32(bytes) != REQUEST_MAGIC)
    return Decoded::Malformed;
  if (size >= 8) {
    std::uint32_t kind = get32(bytes + 4);
    if (kind != static_cast<std::uint32_t>(ChannelKind::Posted) && !sentKind(kind))
      return Decoded::Malformed;
  }
  if (size >= 16 && !nameLengthValid(get32(bytes + 12)))
    return Decoded::Malformed;
  if (size >= 20 && !nameLengthValid(get32(bytes + 16)))
    return Decoded::Malformed;
  if (size >= 24 && !channelMessageAllowed(static_cast<ChannelKind>(get32(bytes + 4)),
                                           get32(bytes + 8), get32(bytes + 20)))
    return Decoded::Malformed;
  if (size < CHANNEL_REQUEST_HEADER)
    return Decoded::Incomplete;

  const std::size_t classUnits = get32(bytes + 12);
  const std::size_t titleUnits = get32(bytes + 16);
  const std::size_t dataBytes = get32(bytes + 20);
  std::size_t total = CHANNEL_REQUEST_HEADER + 2 * (classUnits + titleUnits) + dataBytes;
  const bool lending = get32(bytes + 4) == static_cast<std::uint32_t>(ChannelKind::SentLending);
  std::size_t termBytes = 0;
  if (lending) {
    if (size < total + 4)
      return Decoded::Incomplete;
    termBytes = get32(bytes + total);
    if (termBytes < 1 || termBytes > CHANNEL_MAX_TERM_NAME)
      return Decoded::Malformed;
    total += 4 + termBytes;
  }
  if (size < total)
    return Decoded::Incomplete;

  const std::uint8_t *p = bytes + CHANNEL_REQUEST_HEADER;
  out->kind = static_cast<ChannelKind>(get32(bytes + 4));
  out->message = get32(bytes + 8);
  out->wParam = get64(bytes + 24);
  out->lParam = get64(bytes + 32);
  out->className = getText(p, classUnits);
  p += 2 * classUnits;
  out->title = getText(p, titleUnits);
  p += 2 * titleUnits;
  out->data.assign(p, p + dataBytes);
  p += dataBytes;
  out->terminalName.clear();
  if (lending) {
    out->terminalName.assign(reinterpret_cast<const char *>(p + 4), termBytes);
    if (!channelTerminalNameValid(out->terminalName))
      return Decoded::Malformed;
  }
  *consumed = total;
  return Decoded::Complete;
}

Decoded decodeReply(const std::uint8_t *bytes, std::size_t size, ChannelReply *out,
                    std::size_t *consumed)
{
  if (size >= 4 && get32(bytes) != REPLY_MAGIC)
    return Decoded::Malformed;
  if (size >= 8 && get32(bytes + 4) > static_cast<std::uint32_t>(ReplyStatus::Busy))
    return Decoded::Malformed;
  if (size < CHANNEL_REPLY_SIZE)
    return Decoded::Incomplete;
  out->status = static_cast<ReplyStatus>(get32(bytes + 4));
  out->result = get64(bytes + 8);
  *consumed = CHANNEL_REPLY_SIZE;
  return Decoded::Complete;
}
