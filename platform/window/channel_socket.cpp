// Socket plumbing shared by both ends of the window channel: connecting,
// telling a stale socket from a live one, checking the peer's user.
#include "platform/window/window_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr long OWN_UID = -1;            // expectedUid's value for "this process's user"
std::atomic<long> expectedUid{OWN_UID}; // the user peers must run as (test seam)

uid_t peerUidWanted()
{
  long uid = expectedUid.load();
  return uid == OWN_UID ? geteuid() : static_cast<uid_t>(uid);
}

bool fillAddress(const std::filesystem::path &path, sockaddr_un *addr)
{
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.native().size() >= sizeof addr->sun_path)
    return false;
  std::memcpy(addr->sun_path, path.c_str(), path.native().size());
  return true;
}

} // namespace

void channelExpectUidForTest(uid_t uid)
{
  expectedUid = static_cast<long>(uid);
}

void channelExpectOwnUid()
{
  expectedUid = OWN_UID;
}

bool channelPeerAllowed(int fd)
{
  ucred cred{};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
    return false;
  return cred.uid == peerUidWanted();
}

std::int64_t channelNowMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

ChannelConnect channelConnect(const std::filesystem::path &path, int *fd)
{
  sockaddr_un addr;
  if (!fillAddress(path, &addr))
    return ChannelConnect::Missing;
  int s = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0)
    return ChannelConnect::Missing;
  if (connect(s, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
    int err = errno;
    close(s);
    if (err == ECONNREFUSED)
      return ChannelConnect::Stale;
    if (err == EAGAIN || err == EINPROGRESS)
      return ChannelConnect::Busy;
    return ChannelConnect::Missing;
  }
  if (!channelPeerAllowed(s)) {
    close(s);
    return ChannelConnect::Foreign;
  }
  *fd = s;
  return ChannelConnect::Connected;
}

int channelFolderLock(const std::filesystem::path &socket)
{
  int fd = open(socket.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return -1;
  while (flock(fd, LOCK_EX) != 0)
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  return fd;
}

bool channelRemoveStale(const std::filesystem::path &path, bool locked)
{
  if (!locked) {
    int lock = channelFolderLock(path);
    bool removed = channelRemoveStale(path, true);
    if (lock >= 0)
      close(lock);
    return removed;
  }
  struct stat before;
  if (lstat(path.c_str(), &before) != 0)
    return errno == ENOENT;
  if (!S_ISSOCK(before.st_mode) || before.st_uid != geteuid())
    return false;
  int fd;
  switch (channelConnect(path, &fd)) {
  case ChannelConnect::Connected:
    close(fd);
    return false;
  case ChannelConnect::Stale:
    break;
  default:
    return false;
  }
  // Remove it only if it is still the socket found dead (the folder's lock
  // keeps a starting window from putting another in its place meanwhile).
  struct stat now;
  if (lstat(path.c_str(), &now) != 0)
    return errno == ENOENT;
  if (now.st_ino != before.st_ino || now.st_dev != before.st_dev)
    return false;
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}
