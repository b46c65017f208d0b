// The sending end of the window channel: finding a window of another
// process, posting to it, sending to it and waiting for the result.
#include "platform/window/window_internal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Connects to a window's socket; a stale socket found on the way is removed.
// -1 when there is no connection; *busy then tells whether a listener is
// there all the same.
int connectTo(const std::filesystem::path &path, bool *busy = nullptr)
{
  int fd = -1;
  ChannelConnect outcome = channelConnect(path, &fd);
  if (busy)
    *busy = outcome == ChannelConnect::Busy;
  if (outcome == ChannelConnect::Stale)
    channelRemoveStale(path);
  return outcome == ChannelConnect::Connected ? fd : -1;
}

// True when a window listens at path: connected (and closed again at once),
// or listening with a full backlog because its thread is busy.
bool listening(const std::filesystem::path &path)
{
  bool busy = false;
  int fd = connectTo(path, &busy);
  if (fd >= 0) {
    // The connection only proves that somebody listens; the receiver reads
    // the end of the stream and closes its side.
    close(fd);
    return true;
  }
  return busy;
}

ChannelRequest requestFor(const RemoteWindow &window, ChannelKind kind, UINT message,
                          WPARAM wParam, LPARAM lParam)
{
  ChannelRequest r;
  r.kind = kind;
  r.message = message;
  r.className = window.className;
  r.title = window.title;
  r.wParam = wParam;
  r.lParam = static_cast<std::uint64_t>(lParam);
  return r;
}

// Milliseconds left until deadline (-1: no deadline), at least 0.
int msLeft(std::int64_t deadline)
{
  if (deadline < 0)
    return -1;
  std::int64_t left = deadline - channelNowMs();
  return left <= 0 ? 0 : static_cast<int>(left);
}

// Writes all of bytes to a non-blocking socket before the deadline.
bool writeAll(int fd, const std::vector<std::uint8_t> &bytes, std::int64_t deadline)
{
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The receiver reads its sockets in every wait, also while it is
      // itself sending to us, so this wait ends.
      int left = msLeft(deadline);
      if (left == 0)
        return false;
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, left) < 0 && errno != EINTR)
        return false;
      continue;
    }
    return false;
  }
  return true;
}

// Writes the first bytes of a request together with the lent terminal's
// descriptor, then the rest; the descriptor travels with the first byte
// that the socket takes.
bool writeWithTerminal(int fd, const std::vector<std::uint8_t> &bytes, int terminalFd,
                       std::int64_t deadline)
{
  for (;;) {
    iovec iov{const_cast<std::uint8_t *>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &terminalFd, sizeof(int));
    ssize_t n = sendmsg(fd, &msg, MSG_NOSIGNAL);
    if (n > 0)
      return writeAll(fd, std::vector<std::uint8_t>(bytes.begin() + n, bytes.end()), deadline);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int left = msLeft(deadline);
      pollfd p{fd, POLLOUT, 0};
      if (left == 0 || (poll(&p, 1, left) < 0 && errno != EINTR))
        return false;
      continue;
    }
    return false;
  }
}

// Reads the replies that have arrived. Returns false when the exchange is
// over without a result (refused, broken, closed); sets *pickedUp and, with
// the final reply, *done and *result; a lend's answer goes into lend.
bool readReplies(int fd, std::vector<std::uint8_t> &buffer, bool *pickedUp, bool *done,
                 LRESULT *result, ChannelLend *lend)
{
  std::uint8_t chunk[64];
  for (;;) {
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return true;
    if (n <= 0)
      return false;
    buffer.insert(buffer.end(), chunk, chunk + n);
    for (;;) {
      ChannelReply r;
      std::size_t consumed = 0;
      Decoded d = decodeReply(buffer.data(), buffer.size(), &r, &consumed);
      if (d == Decoded::Malformed)
        return false;
      if (d == Decoded::Incomplete)
        break;
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(consumed));
      switch (r.status) {
      case ReplyStatus::PickedUp:
        *pickedUp = true;
        break;
      case ReplyStatus::Done:
        *done = true;
        *result = static_cast<LRESULT>(r.result);
        return true;
      case ReplyStatus::Declined:
        *pickedUp = true;
        if (lend)
          lend->declined = true;
        if (lend && lend->returnWhenDeclined)
          return false;
        break;
      case ReplyStatus::Busy:
        if (lend)
          lend->busy = true;
        return false;
      case ReplyStatus::Refused:
        return false;
      }
    }
  }
}

} // namespace

std::optional<std::filesystem::path> channelFind(std::u16string_view className,
                                                 std::u16string_view title)
{
  if (className.empty() || title.empty() || className.size() > CHANNEL_MAX_NAME_UNITS ||
      title.size() > CHANNEL_MAX_NAME_UNITS)
    return std::nullopt;
  std::optional<std::filesystem::path> path = channelSocketPath(className, title, false);
  if (!path || !listening(*path))
    return std::nullopt;
  return path;
}

bool channelListening(const RemoteWindow &window)
{
  return listening(window.socket);
}

bool channelPost(const RemoteWindow &window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (!channelMessageAllowed(ChannelKind::Posted, message, 0))
    return false;
  int fd = connectTo(window.socket);
  if (fd < 0)
    return false;
  // A post is small and the connection new, so the socket buffer takes it
  // whole at once; PostMessageW never waits for the receiver.
  bool written = writeAll(fd, encodeRequest(requestFor(window, ChannelKind::Posted, message,
                                                       wParam, lParam)),
                          channelNowMs());
  close(fd);
  return written;
}

bool channelSend(const RemoteWindow &window, UINT message, WPARAM wParam, LPARAM lParam,
                 int pickupMs, int totalMs, bool serve, LRESULT *result, ChannelLend *lend)
{
  ChannelRequest request = requestFor(window, lend ? ChannelKind::SentLending : ChannelKind::Sent,
                                      message, wParam, lParam);
  if (lend) {
    if (lend->terminalFd < 0 || !channelTerminalNameValid(lend->terminalName))
      return false;
    request.terminalName = lend->terminalName;
  }
  if (message == WM_COPYDATA) {
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    if (!cds || cds->cbData > COPYDATA_MAX_BYTES || (cds->cbData && !cds->lpData))
      return false;
    const auto *bytes = static_cast<const std::uint8_t *>(cds->lpData);
    request.lParam = cds->dwData;
    request.data.assign(bytes, bytes + cds->cbData);
  }
  if (!channelMessageAllowed(request.kind, message, request.data.size()))
    return false;
  int fd = connectTo(window.socket);
  if (fd < 0)
    return false;

  const std::int64_t start = channelNowMs();
  std::int64_t end = totalMs < 0 ? -1 : start + totalMs;
  std::int64_t pickupEnd = start + pickupMs;
  if (end >= 0 && end < pickupEnd)
    pickupEnd = end;
  std::shared_ptr<ThreadQueue> self = currentQueue();
  const std::vector<std::uint8_t> bytes = encodeRequest(request);
  bool pickedUp = false, done = false, askedBack = false;
  bool alive = lend ? writeWithTerminal(fd, bytes, lend->terminalFd, pickupEnd)
                    : writeAll(fd, bytes, pickupEnd);
  std::vector<std::uint8_t> buffer;
  while (alive && !done) {
    // A termination signal while the terminal is lent asks for it back:
    // the end of our stream tells the receiver to close what it shows
    // there, and it answers once the terminal is as it found it.
    if (lend && self->quitPosted && !askedBack) {
      shutdown(fd, SHUT_WR);
      askedBack = true;
      const std::int64_t giveBack = channelNowMs() + LEND_GIVE_BACK_MS;
      end = end < 0 || giveBack < end ? giveBack : end;
      pickupEnd = pickupEnd < end ? pickupEnd : end;
    }
    // Once picked up, the message takes as long as its handling (a dialog
    // may be open meanwhile); only a total limit ends the wait then.
    const std::int64_t deadline = pickedUp ? end : pickupEnd;
    if (serve)
      dispatchIncomingSent(*self);
    int left = msLeft(deadline);
    if (left == 0)
      break;
    if (pumpIo(*self, left, fd))
      alive = readReplies(fd, buffer, &pickedUp, &done, result, lend);
  }
  close(fd);
  return done;
}
