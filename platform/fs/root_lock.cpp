#include "platform/fs/root_lock.h"

#include "platform/fs/datapath.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace {

int heldLock = -1; // the locked directory's descriptor, kept open for the process

} // namespace

RootLockResult lockDataRoot()
{
  if (heldLock >= 0)
    return RootLockResult::taken;
  std::error_code ec;
  std::filesystem::create_directories(dataRoot(), ec); // an error shows when it is opened
  int fd = open(dataRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return RootLockResult::failed;
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    int error = errno;
    close(fd);
    errno = error;
    return error == EWOULDBLOCK ? RootLockResult::busy : RootLockResult::failed;
  }
  heldLock = fd;
  return RootLockResult::taken;
}
