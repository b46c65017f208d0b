// The receiving end of the window channel. A reachable window's thread
// listens on its socket; connections are read without blocking inside the
// thread's waits, and a whole request becomes a posted message or a sent
// message that the thread handles in its message loop.
#include "platform/clock/clock.h"
#include "platform/text/wstr.h"
#include "platform/window/window_internal.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

constexpr int LISTEN_BACKLOG = 64;               // connections waiting to be accepted
constexpr std::size_t MAX_CONNECTIONS = 32;      // connections being read, per thread
constexpr std::size_t READ_CHUNK = 4096;         // bytes read at a time

bool bindAndListen(int fd, const std::filesystem::path &path)
{
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.native().size());
  if (bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
    return false;
  if (listen(fd, LISTEN_BACKLOG) != 0) {
    unlink(path.c_str());
    return false;
  }
  return true;
}

// Answers on a connection. The sender may have given up waiting and closed
// its end: then there is nobody to tell, which is fine.
void reply(int fd, ReplyStatus status, LRESULT result)
{
  std::vector<std::uint8_t> bytes =
      encodeReply(ChannelReply{status, static_cast<std::uint64_t>(result)});
  (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void refuse(int fd)
{
  reply(fd, ReplyStatus::Refused, 0);
  close(fd);
}

void closeLent(int *lentFd)
{
  if (*lentFd >= 0)
    close(*lentFd);
  *lentFd = -1;
}

// A connection that is dropped before its request was delivered.
void refuseConnection(Connection &c)
{
  closeLent(&c.lentFd);
  refuse(c.fd);
}

// Reads from a connection, taking a descriptor that came with the bytes.
// A second descriptor, or anything else that is not one descriptor, makes
// the connection unusable (-2); descriptors received are never left open.
ssize_t receive(Connection &c, std::uint8_t *buffer, std::size_t size)
{
  iovec iov{buffer, size};
  alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t n = recvmsg(c.fd, &msg, MSG_CMSG_CLOEXEC);
  if (n < 0)
    return n;
  bool bad = (msg.msg_flags & MSG_CTRUNC) != 0;
  for (cmsghdr *h = CMSG_FIRSTHDR(&msg); h; h = CMSG_NXTHDR(&msg, h)) {
    if (h->cmsg_level != SOL_SOCKET || h->cmsg_type != SCM_RIGHTS) {
      bad = true;
      continue;
    }
    const std::size_t count = (h->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(h) + i * sizeof(int), sizeof fd);
      if (c.lentFd < 0 && !bad) {
        c.lentFd = fd;
      } else {
        close(fd);
        bad = true;
      }
    }
  }
  return bad ? -2 : n;
}

// The window is still this thread's and still has the class and title the
// sender asked for.
bool stillAddressed(ThreadQueue &q, HWND hwnd, const ChannelRequest &request)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  return w && !w->destroying && w->queue.get() == &q &&
         wstrICmp(w->cls->name, request.className) == 0 && wstrICmp(w->title, request.title) == 0;
}

// A whole request arrived on a connection (whose descriptors it now owns).
void deliver(ThreadQueue &q, int fd, int lentFd, HWND hwnd, ChannelRequest &&request)
{
  // A terminal comes with a lending request and with nothing else; what
  // came must be a terminal, or this process would draw into any file.
  const bool lending = request.kind == ChannelKind::SentLending;
  if (!stillAddressed(q, hwnd, request) || lending != (lentFd >= 0) ||
      (lending && !isatty(lentFd))) {
    closeLent(&lentFd);
    refuse(fd);
    return;
  }
  if (request.kind == ChannelKind::Posted) {
    MSG msg{hwnd, request.message, static_cast<WPARAM>(request.wParam),
            static_cast<LPARAM>(request.lParam), GetTickCount(), {0, 0}};
    reply(fd, postToQueue(q, msg) ? ReplyStatus::Done : ReplyStatus::Refused, 0);
    close(fd);
    return;
  }
  q.remoteSends.push_back(RemoteSend{fd, hwnd, std::move(request), lentFd});
}

void acceptAll(ThreadQueue &q, const Listener &listener)
{
  for (;;) {
    int fd = accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
      return;
    if (!channelPeerAllowed(fd) || q.connections.size() >= MAX_CONNECTIONS) {
      close(fd);
      continue;
    }
    q.connections.push_back(Connection{fd, listener.hwnd, {}, channelNowMs(), -1});
  }
}

// Reads what a connection has; true when it is finished with (delivered,
// refused or dropped) and leaves the list.
bool readConnection(ThreadQueue &q, Connection &c)
{
  std::uint8_t chunk[READ_CHUNK];
  for (;;) {
    ssize_t n = receive(c, chunk, sizeof chunk);
    if (n > 0) {
      c.received.insert(c.received.end(), chunk, chunk + n);
      ChannelRequest request;
      std::size_t consumed = 0;
      switch (decodeRequest(c.received.data(), c.received.size(), &request, &consumed)) {
      case Decoded::Complete:
        deliver(q, c.fd, c.lentFd, c.hwnd, std::move(request));
        return true;
      case Decoded::Malformed:
        refuseConnection(c);
        return true;
      case Decoded::Incomplete:
        continue;
      }
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return false;
    if (n < 0 && errno == EINTR)
      continue;
    // End of stream before a whole request (a FindWindowW probe ends so), or
    // an error.
    closeLent(&c.lentFd);
    close(c.fd);
    return true;
  }
}

} // namespace

void channelPublish(ThreadQueue &q, HWND hwnd, const std::u16string &className,
                    const std::u16string &title)
{
  if (className.empty() || title.empty() || className.size() > CHANNEL_MAX_NAME_UNITS ||
      title.size() > CHANNEL_MAX_NAME_UNITS)
    return;
  std::optional<std::filesystem::path> path = channelSocketPath(className, title, true);
  if (!path)
    return;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return;
  // A socket already there is either a live window of the same class and
  // title, which keeps it, or one left by a process that died, which goes.
  int lock = channelFolderLock(*path);
  bool listening = bindAndListen(fd, *path) ||
                   (errno == EADDRINUSE && channelRemoveStale(*path, true) && bindAndListen(fd, *path));
  if (lock >= 0)
    close(lock);
  if (!listening) {
    close(fd);
    return;
  }
  struct stat st;
  if (lstat(path->c_str(), &st) != 0) {
    close(fd);
    return;
  }
  q.listeners.push_back(Listener{hwnd, fd, *path, st.st_ino});
}

void channelUnpublish(ThreadQueue &q, HWND hwnd)
{
  for (auto it = q.listeners.begin(); it != q.listeners.end();) {
    if (it->hwnd != hwnd) {
      ++it;
      continue;
    }
    struct stat st;
    if (lstat(it->path.c_str(), &st) == 0 && st.st_ino == it->inode)
      unlink(it->path.c_str());
    close(it->fd);
    it = q.listeners.erase(it);
  }
  std::erase_if(q.connections, [&](Connection &c) {
    if (c.hwnd != hwnd)
      return false;
    refuseConnection(c);
    return true;
  });
}

void channelAddPollFds(const ThreadQueue &q, std::vector<pollfd> &fds)
{
  for (const Listener &l : q.listeners)
    fds.push_back({l.fd, POLLIN, 0});
  for (const Connection &c : q.connections)
    fds.push_back({c.fd, POLLIN, 0});
}

void channelHandlePoll(ThreadQueue &q, const pollfd *fds, std::size_t count)
{
  // The entries are the listeners, then the connections, as they were when
  // the poll set was made; connections are matched by descriptor because
  // the list changes as they are handled.
  const std::size_t listeners = std::min(count, q.listeners.size());
  std::vector<int> readable;
  for (std::size_t i = listeners; i < count; ++i)
    if (fds[i].revents)
      readable.push_back(fds[i].fd);
  for (int fd : readable) {
    auto it = std::find_if(q.connections.begin(), q.connections.end(),
                           [&](const Connection &c) { return c.fd == fd; });
    if (it != q.connections.end() && readConnection(q, *it))
      q.connections.erase(std::find_if(q.connections.begin(), q.connections.end(),
                                       [&](const Connection &c) { return c.fd == fd; }));
  }

  const std::int64_t now = channelNowMs();
  std::erase_if(q.connections, [&](Connection &c) {
    if (now - c.openedMs < CHANNEL_CONNECTION_IDLE_MS)
      return false;
    refuseConnection(c);
    return true;
  });

  for (std::size_t i = 0; i < listeners; ++i)
    if (fds[i].revents & POLLIN) {
      auto it = std::find_if(q.listeners.begin(), q.listeners.end(),
                             [&](const Listener &l) { return l.fd == fds[i].fd; });
      if (it != q.listeners.end())
        acceptAll(q, *it);
    }
}

int channelWaitLimitMs(const ThreadQueue &q)
{
  if (q.connections.empty())
    return -1;
  std::int64_t oldest = q.connections.front().openedMs;
  for (const Connection &c : q.connections)
    oldest = std::min(oldest, c.openedMs);
  return static_cast<int>(std::max<std::int64_t>(0, oldest + CHANNEL_CONNECTION_IDLE_MS - channelNowMs()));
}

void channelDispatchRemoteSends(ThreadQueue &q)
{
  while (!q.remoteSends.empty()) {
    RemoteSend rs = std::move(q.remoteSends.front());
    q.remoteSends.pop_front();
    if (!stillAddressed(q, rs.hwnd, rs.request)) {
      closeLent(&rs.lentFd);
      refuse(rs.fd);
      continue;
    }
    bool borrowed = false;
    if (rs.lentFd >= 0) {
      // beginTerminalLend takes the descriptor whatever it answers.
      switch (beginTerminalLend(std::exchange(rs.lentFd, -1), rs.request.terminalName, rs.fd)) {
      case LendStart::Borrowed:
        borrowed = true;
        break;
      case LendStart::Declined:
        reply(rs.fd, ReplyStatus::Declined, 0);
        break;
      case LendStart::Busy:
        reply(rs.fd, ReplyStatus::Busy, 0);
        close(rs.fd);
        continue;
      case LendStart::Failed:
        refuse(rs.fd);
        continue;
      }
    }
    if (borrowed || rs.request.kind != ChannelKind::SentLending)
      reply(rs.fd, ReplyStatus::PickedUp, 0); // a declined lend was told so already
    LPARAM lParam = static_cast<LPARAM>(rs.request.lParam);
    COPYDATASTRUCT copy{};
    if (rs.request.message == WM_COPYDATA) {
      copy = COPYDATASTRUCT{static_cast<ULONG_PTR>(rs.request.lParam),
                            static_cast<DWORD>(rs.request.data.size()),
                            rs.request.data.empty() ? nullptr : rs.request.data.data()};
      lParam = reinterpret_cast<LPARAM>(&copy);
    }
    const bool saved = q.inSend;
    q.inSend = true;
    LRESULT result;
    try {
      result = callWindowProc(rs.hwnd, rs.request.message, static_cast<WPARAM>(rs.request.wParam),
                              lParam);
    } catch (...) {
      q.inSend = saved;
      if (borrowed)
        endTerminalLend();
      refuse(rs.fd);
      throw;
    }
    q.inSend = saved;
    // The terminal is given back before the answer, so that the lender
    // finds it as it was when it reads the answer.
    if (borrowed)
      endTerminalLend();
    reply(rs.fd, ReplyStatus::Done, result);
    close(rs.fd);
  }
}

void channelCloseAll(ThreadQueue &q)
{
  while (!q.listeners.empty())
    channelUnpublish(q, q.listeners.front().hwnd);
  for (Connection &c : q.connections)
    refuseConnection(c);
  q.connections.clear();
  for (RemoteSend &rs : q.remoteSends) {
    closeLent(&rs.lentFd);
    refuse(rs.fd);
  }
  q.remoteSends.clear();
}
