#include "platform/fs/files.h"

#include "platform/errline/errline.h"
#include "platform/fs/datapath.h"
#include "platform/fs/temporaries.h"
#include "platform/text/wstr.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *_wfopen(LPCWSTR path, LPCWSTR mode)
{
  auto p = devicePath(path);
  if (!p)
    return nullptr;
  std::string m = utf16ToUtf8(mode);
  if (m.find('r') != std::string::npos && m.find('+') == std::string::npos)
    return openRegularFile(*p);
  return std::fopen(p->c_str(), m.c_str());
}

namespace {

// A descriptor of the regular file at path, or -1 with errno set.
int openRegularFd(const std::filesystem::path &path)
{
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
    errno = EINVAL;
  }
  return fd;
}

} // namespace

int readRegularFile(const std::filesystem::path &path, std::size_t maxBytes, std::string *bytes)
{
  bytes->clear();
  int fd = openRegularFd(path);
  if (fd < 0)
    return errno;
  int result = 0;
  char buffer[65536];
  for (;;) {
    // One byte more than allowed tells a file that is too large.
    std::size_t want = std::min(sizeof buffer, maxBytes + 1 - bytes->size());
    ssize_t n = read(fd, buffer, want);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      result = n < 0 ? errno : 0;
      break;
    }
    bytes->append(buffer, static_cast<std::size_t>(n));
    if (bytes->size() > maxBytes) {
      bytes->resize(maxBytes);
      result = EFBIG;
      break;
    }
  }
  close(fd);
  return result;
}

FILE *openRegularFile(const std::filesystem::path &path)
{
  int fd = openRegularFd(path);
  if (fd < 0) {
    int error = errno;
    if (error == ELOOP || error == EINVAL || error == ENXIO)
      writeErrorLine(path.native() + " is not a regular file; not read");
    errno = error;
    return nullptr;
  }
  // Regular files never block; later reads need no special care.
  (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE *f = fdopen(fd, "rb");
  if (!f)
    close(fd);
  return f;
}

bool keepDamagedFile(const std::filesystem::path &file)
{
  std::filesystem::path kept = file;
  kept += ".damaged";
  // One name per process, of the form a sweep of stale temporaries knows,
  // and never one that mkstemp gives.
  std::string pattern = temporaryPattern(kept);
  pattern.replace(pattern.size() - 6, 6, "kept");
  unlink(pattern.c_str()); // left by a run that ended here
  // A second name for the same bytes: nothing to copy, and the replacement
  // of the file leaves them to this name alone.
  if (link(file.c_str(), pattern.c_str()) != 0) {
    if (errno == ENOENT)
      return true;
    std::error_code ec;
    if (!std::filesystem::copy_file(file, pattern, ec)) {
      unlink(pattern.c_str());
      return false;
    }
  }
  if (std::rename(pattern.c_str(), kept.c_str()) != 0) {
    unlink(pattern.c_str());
    return false;
  }
  writeErrorLine(file.native() + " was damaged; kept as " + kept.native() + " before it is written again");
  return true;
}

bool keepDamagedDeviceFile(LPCWSTR path)
{
  auto p = devicePath(path);
  return p && keepDamagedFile(*p);
}

BOOL CreateDirectoryW(LPCWSTR path, void *)
{
  auto p = devicePath(path);
  if (!p)
    return FALSE;
  std::error_code ec;
  return std::filesystem::create_directories(*p, ec) ? TRUE : FALSE;
}

bool atomicOpen(AtomicFile *af, const std::filesystem::path &target)
{
  af->target = target;
  removeStaleTemporariesOf(target);
  std::string pattern = temporaryPattern(target);
  int fd = mkstemp(pattern.data());
  if (fd < 0)
    return false;
  // Held until the file is renamed or removed: another process's sweep
  // sees a writer at work.
  (void)flock(fd, LOCK_EX);
  af->temporary = pattern;
  af->file = fdopen(fd, "wb+");
  if (!af->file) {
    close(fd);
    unlink(pattern.c_str());
    return false;
  }
  // Data files are private to the user, whatever the umask.
  (void)fchmod(fd, 0600);
  return true;
}

bool atomicCommit(AtomicFile *af, RenameSync sync)
{
  if (!af->file)
    return false;
  bool ok = std::fflush(af->file) == 0 && !std::ferror(af->file) && fsync(fileno(af->file)) == 0;
  // Renamed while still open, so its lock lasts until it is the target.
  if (ok)
    ok = std::rename(af->temporary.c_str(), af->target.c_str()) == 0;
  if (!ok)
    unlink(af->temporary.c_str());
  // After a successful sync nothing is left to fail on closing.
  (void)std::fclose(af->file);
  af->file = nullptr;
  if (!ok)
    return false;
  if (sync == RenameSync::Visible)
    return true;
  // Make the rename itself durable.
  int dir = open(af->target.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
  return true;
}

void atomicAbort(AtomicFile *af)
{
  if (af->file) {
    unlink(af->temporary.c_str()); // before its lock goes with the close
    std::fclose(af->file);
    af->file = nullptr;
  }
}

bool atomicOpenDevice(AtomicFile *af, LPCWSTR path)
{
  auto p = devicePath(path);
  return p && atomicOpen(af, *p);
}

void removeStaleDeviceTemporaries(LPCWSTR path)
{
  if (auto p = devicePath(path))
    removeStaleTemporariesOf(*p);
}
