#include "platform/maildir/maildir_folder.h"

#include "platform/maildir/maildir_name.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace fs = std::filesystem;

namespace {

void listDir(const fs::path &dir, bool inNew, std::vector<MessageFile> &out)
{
  DIR *d = opendir(dir.c_str());
  if (!d)
    return;
  while (dirent *e = readdir(d)) {
    if (!isMessageFileName(e->d_name))
      continue;
    if (e->d_type == DT_DIR)
      continue;
    out.push_back(MessageFile{e->d_name, inNew});
  }
  closedir(d);
}

bool isDirectory(const fs::path &p)
{
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRealDirectory(const fs::path &p)
{
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

namespace {

std::atomic<std::uint64_t> listings{0}; // calls of listMessageFiles

} // namespace

std::uint64_t messageListings() { return listings.load(); }

std::vector<MessageFile> listMessageFiles(const fs::path &folder)
{
  ++listings;
  std::vector<MessageFile> out;
  listDir(folder / "new", true, out);
  listDir(folder / "cur", false, out);
  return out;
}

fs::path messagePath(const fs::path &folder, const MessageFile &m)
{
  return folder / (m.inNew ? "new" : "cur") / m.fileName;
}

bool isSubfolderName(std::string_view name)
{
  return !name.empty() && name.front() != '.' && name != "cur" && name != "new" && name != "tmp";
}

std::vector<std::string> listSubfolders(const fs::path &folder)
{
  std::vector<std::string> out;
  DIR *d = opendir(folder.c_str());
  if (!d)
    return out;
  while (dirent *e = readdir(d)) {
    if (!isSubfolderName(e->d_name))
      continue;
    // Links are not followed: one to an ancestor would make the tree endless.
    if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && isRealDirectory(folder / e->d_name)))
      out.emplace_back(e->d_name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

bool ensureMaildir(const fs::path &dir)
{
  for (const fs::path &p : {dir, dir / "cur", dir / "new", dir / "tmp"})
    if (mkdir(p.c_str(), 0700) != 0 && !(errno == EEXIST && isDirectory(p)))
      return false;
  return true;
}

std::size_t cleanTmp(const fs::path &folder)
{
  constexpr time_t STALE_SECONDS = 36 * 60 * 60;
  fs::path tmp = folder / "tmp";
  DIR *d = opendir(tmp.c_str());
  if (!d)
    return 0;
  std::size_t removed = 0;
  time_t now = time(nullptr);
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    struct stat st;
    if (name == "." || name == ".." || fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        S_ISDIR(st.st_mode))
      continue;
    bool stale = now - st.st_mtime > STALE_SECONDS;
    if (!stale) {
      // A writer of this host that no longer runs never finishes its file.
      auto pid = uniqueNameWriter(name);
      stale = pid && *pid > 0 && kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH;
    }
    if (stale && unlinkat(dirfd(d), e->d_name, 0) == 0)
      ++removed;
  }
  closedir(d);
  return removed;
}

bool renameNoReplace(const fs::path &from, const fs::path &to)
{
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  // No RENAME_NOREPLACE here: a hard link fails on an existing name too.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  return false;
}

int openMessageFile(const char *path, std::size_t *size)
{
  int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return -1;
  struct stat st = {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  *size = static_cast<std::size_t>(st.st_size);
  return fd;
}

std::optional<std::string> readWholeFile(const fs::path &path)
{
  std::size_t size = 0;
  int fd = openMessageFile(path.c_str(), &size);
  if (fd < 0)
    return std::nullopt;
  // Message files do not change once delivered: the size fstat gave is the
  // whole file, and no more than that is read.
  std::string data(size, '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  data.resize(got);
  return data;
}

std::optional<fs::path> writeTmpFile(const fs::path &folder, std::string_view unique,
                                     std::string_view bytes, std::optional<std::time_t> mtime)
{
  fs::path tmp = folder / "tmp" / std::string(unique);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    return std::nullopt;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    ok = n > 0;
    if (ok)
      done += static_cast<std::size_t>(n);
  }
  if (ok && mtime) {
    struct timespec times[2] = {{*mtime, 0}, {*mtime, 0}};
    ok = futimens(fd, times) == 0;
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    unlink(tmp.c_str());
    return std::nullopt;
  }
  return tmp;
}

std::optional<std::string> deliverMessageFile(const fs::path &folder, std::string_view bytes,
                                              const DeliveryOptions &options)
{
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string unique = options.unique && attempt == 0 ? *options.unique : makeUniqueName();
    if (options.unique && attempt > 0)
      return std::nullopt; // the caller's name is taken
    auto tmp = writeTmpFile(folder, unique, bytes, options.mtime);
    if (!tmp) {
      if (errno == EEXIST)
        continue;
      return std::nullopt;
    }
    fs::path target = options.info ? folder / "cur" / curFileName(unique, *options.info)
                                   : folder / "new" / unique;
    if (renameNoReplace(*tmp, target))
      return unique;
    int error = errno;
    unlink(tmp->c_str());
    if (error != EEXIST)
      return std::nullopt;
  }
  return std::nullopt;
}
