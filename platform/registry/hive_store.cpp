#include "platform/registry/hive_store.h"

#include "platform/fs/datapath.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"
#include "platform/registry/reg_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A hive larger than this is read only up to it: nothing the program writes
// comes near, and a runaway file must not exhaust memory.
constexpr std::size_t MAX_HIVE_BYTES = 64u << 20;

std::string readBytes(const std::filesystem::path &path)
{
  // Only a regular file, never through a link and never blocking: a FIFO in
  // a hive's place reads as an empty hive instead of holding up every
  // registry call.
  std::string bytes;
  int error = readRegularFile(path, MAX_HIVE_BYTES, &bytes);
  if (error == ELOOP || error == EINVAL) {
    static std::mutex lock;
    static std::set<std::string> said;
    std::lock_guard<std::mutex> guard(lock);
    if (said.insert(path.native()).second)
      std::fprintf(stderr, "%s is not a regular file; read as an empty hive\n", path.c_str());
  }
  if (error != 0 && error != EFBIG)
    bytes.clear();
  return bytes;
}

// The registry writes lazily, as the handheld's does until RegFlushKey: a
// change is seen by every process once the call returns and the hive is never
// left half written, but a power loss right after it may bring back the
// hive as it was before. So the directory is not synced after the rename;
// that second sync nearly doubled the cost of every change.
bool writeBytes(const std::filesystem::path &path, const std::string &bytes)
{
  AtomicFile af;
  if (!atomicOpen(&af, path))
    return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), af.file) != bytes.size()) {
    atomicAbort(&af);
    return false;
  }
  return atomicCommit(&af, RenameSync::Visible);
}

// The first time a process uses a hive file, what saves of it killed before
// their end left behind is removed; later saves clear their own.
void sweepOnce(const std::filesystem::path &file)
{
  static std::mutex lock;
  static std::set<std::string> swept;
  std::lock_guard<std::mutex> guard(lock);
  if (swept.insert(file.native()).second)
    removeStaleTemporariesOf(file);
}

// An exclusive flock held for a scope.
class HiveLock {
public:
  explicit HiveLock(const std::filesystem::path &lockFile)
  {
    fd_ = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
      return;
    int rc;
    while ((rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~HiveLock()
  {
    if (fd_ >= 0)
      close(fd_); // releases the lock
  }
  HiveLock(const HiveLock &) = delete;
  HiveLock &operator=(const HiveLock &) = delete;
  bool held() const { return fd_ >= 0; }

private:
  int fd_ = -1;
};

} // namespace

std::u16string_view hiveRootName(HiveId id)
{
  switch (id) {
  case HiveId::ClassesRoot: return u"HKEY_CLASSES_ROOT";
  case HiveId::CurrentUser: return u"HKEY_CURRENT_USER";
  case HiveId::LocalMachine: return u"HKEY_LOCAL_MACHINE";
  }
  return u"";
}

std::filesystem::path hiveFile(HiveId id)
{
  const char *name = id == HiveId::ClassesRoot ? "classes.reg" : id == HiveId::CurrentUser ? "user.reg" : "machine.reg";
  return dataRoot() / "Registry" / name;
}

Hive readHive(HiveId id)
{
  sweepOnce(hiveFile(id));
  return parseRegFile(readBytes(hiveFile(id)), hiveRootName(id));
}

LONG changeHive(HiveId id, const std::function<LONG(Hive &, bool *changed)> &change)
{
  std::filesystem::path file = hiveFile(id);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  HiveLock lock(std::filesystem::path(file) += ".lock");
  if (!lock.held())
    return ERROR_WRITE_FAULT;
  std::string old = readBytes(file);
  Hive hive = parseRegFile(old, hiveRootName(id));
  bool changed = false;
  LONG rc = change(hive, &changed);
  if (rc != ERROR_SUCCESS || !changed)
    return rc;
  // Keep what could not be read, for a person to look at, before it is lost.
  if (hive.damaged && !writeBytes(std::filesystem::path(file) += ".damaged", old))
    return ERROR_WRITE_FAULT;
  return writeBytes(file, formatRegFile(hive, hiveRootName(id))) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}
