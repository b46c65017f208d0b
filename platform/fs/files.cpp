#include "platform/fs/files.h"

#include "platform/fs/datapath.h"
#include "platform/text/wstr.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

FILE *_wfopen(LPCWSTR path, LPCWSTR mode)
{
  auto p = devicePath(path);
  if (!p)
    return nullptr;
  return std::fopen(p->c_str(), utf16ToUtf8(mode).c_str());
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
  std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX"));
  int fd = mkstemp(pattern.data());
  if (fd < 0)
    return false;
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

bool atomicCommit(AtomicFile *af)
{
  if (!af->file)
    return false;
  bool ok = std::fflush(af->file) == 0 && !std::ferror(af->file) && fsync(fileno(af->file)) == 0;
  ok = std::fclose(af->file) == 0 && ok;
  af->file = nullptr;
  if (ok)
    ok = std::rename(af->temporary.c_str(), af->target.c_str()) == 0;
  if (!ok) {
    unlink(af->temporary.c_str());
    return false;
  }
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
    std::fclose(af->file);
    af->file = nullptr;
    unlink(af->temporary.c_str());
  }
}

bool atomicOpenDevice(AtomicFile *af, LPCWSTR path)
{
  auto p = devicePath(path);
  return p && atomicOpen(af, *p);
}
