#include "platform/registry/hive_store.h"

#include "platform/errline/errline.h"
#include "platform/fs/datapath.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"
#include "platform/registry/reg_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

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
      writeErrorLine(path.native() + " is not a regular file; read as an empty hive");
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

namespace {

// A hive a batch works on: read once under its lock, changed in memory,
// written once when the batch ends.
struct PendingHive {
  HiveId id;
  std::string old; // the file's bytes when read, kept when it was damaged
  Hive hive;
  bool changed = false;
};

// The calling thread's batch. Its first change takes the locks of all three
// hives, always in the same order, so two batches (in threads or processes)
// never wait for each other in a circle; they are held until the end.
struct Batch {
  int depth = 0;
  bool locked = false;
  bool lockFailed = false;
  std::vector<std::unique_ptr<HiveLock>> locks;
  std::vector<PendingHive> hives;
};

// A plain pointer, so no thread-exit destructor is registered: that would
// keep the extension library, which links its own copy of this file, mapped
// after its last FreeLibrary.
thread_local Batch *batch = nullptr;

constexpr HiveId ALL_HIVES[] = {HiveId::ClassesRoot, HiveId::CurrentUser, HiveId::LocalMachine};

std::filesystem::path lockFileOf(HiveId id) { return std::filesystem::path(hiveFile(id)) += ".lock"; }

// The hive as this batch has it, read under the batch's locks the first
// time; null when the locks could not be had.
PendingHive *pendingHive(HiveId id)
{
  for (PendingHive &p : batch->hives)
    if (p.id == id)
      return &p;
  if (!batch->locked) {
    batch->locked = true;
    std::error_code ec;
    std::filesystem::create_directories(hiveFile(id).parent_path(), ec);
    for (HiveId each : ALL_HIVES) {
      batch->locks.push_back(std::make_unique<HiveLock>(lockFileOf(each)));
      batch->lockFailed = batch->lockFailed || !batch->locks.back()->held();
    }
  }
  if (batch->lockFailed)
    return nullptr;
  sweepOnce(hiveFile(id));
  PendingHive p{id, readBytes(hiveFile(id)), {}, false};
  p.hive = parseRegFile(p.old, hiveRootName(id));
  batch->hives.push_back(std::move(p));
  return &batch->hives.back();
}

// Writes a hive changed under its lock; keeps what could not be read, for a
// person to look at, before it is lost.
bool writeHive(HiveId id, const Hive &hive, const std::string &old)
{
  std::filesystem::path file = hiveFile(id);
  if (hive.damaged && !writeBytes(std::filesystem::path(file) += ".damaged", old))
    return false;
  return writeBytes(file, formatRegFile(hive, hiveRootName(id)));
}

} // namespace

Hive readHive(HiveId id)
{
  if (batch)
    for (const PendingHive &p : batch->hives)
      if (p.id == id)
        return p.hive;
  sweepOnce(hiveFile(id));
  return parseRegFile(readBytes(hiveFile(id)), hiveRootName(id));
}

LONG changeHive(HiveId id, const std::function<LONG(Hive &, bool *changed)> &change)
{
  if (batch) {
    PendingHive *p = pendingHive(id);
    if (!p)
      return ERROR_WRITE_FAULT;
    // On a copy, so a change that fails leaves nothing behind, as below.
    Hive work = p->hive;
    bool changed = false;
    LONG rc = change(work, &changed);
    if (rc == ERROR_SUCCESS && changed) {
      p->hive = std::move(work);
      p->changed = true;
    }
    return rc;
  }
  std::filesystem::path file = hiveFile(id);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  HiveLock lock(lockFileOf(id));
  if (!lock.held())
    return ERROR_WRITE_FAULT;
  std::string old = readBytes(file);
  Hive hive = parseRegFile(old, hiveRootName(id));
  bool changed = false;
  LONG rc = change(hive, &changed);
  if (rc != ERROR_SUCCESS || !changed)
    return rc;
  return writeHive(id, hive, old) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

void beginHiveBatch()
{
  if (!batch)
    batch = new Batch;
  ++batch->depth;
}

LONG endHiveBatch()
{
  if (!batch || --batch->depth > 0)
    return ERROR_SUCCESS;
  bool ok = !batch->lockFailed;
  for (const PendingHive &p : batch->hives)
    if (p.changed && !writeHive(p.id, p.hive, p.old))
      ok = false;
  delete batch; // releases the locks
  batch = nullptr;
  return ok ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}
