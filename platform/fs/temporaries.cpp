#include "platform/fs/temporaries.h"

#include "platform/clock/clock.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view TEMPORARY_MARK = ".tmp.";
constexpr std::string_view DAMAGED_SUFFIX = ".damaged";

bool allAlnum(std::string_view s)
{
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)))
      return false;
  return !s.empty();
}

bool allDigits(std::string_view s)
{
  for (char c : s)
    if (c < '0' || c > '9')
      return false;
  return !s.empty() && s.size() <= 9;
}

// A temporary file found in the folder, with its writer when the name says.
struct Temporary {
  std::string file;          // its name in the folder
  std::optional<pid_t> pid;  // the writing process; none for the earlier form
};

// The target of ".<target>.tmp.<pid>.<random>"; empty when the name is not
// of that form.
std::string_view parseTemporary(std::string_view file, pid_t *pid)
{
  if (file.size() < 2 || file[0] != '.')
    return {};
  std::size_t tail = file.rfind('.');
  if (tail == std::string_view::npos || !allAlnum(file.substr(tail + 1)))
    return {};
  std::size_t digits = file.rfind('.', tail - 1);
  if (digits == std::string_view::npos || digits == 0 ||
      !allDigits(file.substr(digits + 1, tail - digits - 1)))
    return {};
  std::size_t mark = digits + 1 - TEMPORARY_MARK.size();
  if (digits + 1 < TEMPORARY_MARK.size() + 2 || file.substr(mark, TEMPORARY_MARK.size()) != TEMPORARY_MARK)
    return {};
  *pid = static_cast<pid_t>(std::stol(std::string(file.substr(digits + 1, tail - digits - 1))));
  return file.substr(1, mark - 1);
}

bool targetWanted(std::string_view target, std::string_view name)
{
  if (name.empty())
    return true;
  if (target == name)
    return true;
  return target.size() == name.size() + DAMAGED_SUFFIX.size() && target.substr(0, name.size()) == name &&
         target.substr(name.size()) == DAMAGED_SUFFIX;
}

// ".<name>.<6 letters or digits>", as mkstemp made it before names told the writer.
bool isEarlierForm(std::string_view file, std::string_view name)
{
  return !name.empty() && file.size() == name.size() + 8 && file[0] == '.' &&
         file.substr(1, name.size()) == name && file[name.size() + 1] == '.' &&
         allAlnum(file.substr(name.size() + 2));
}

std::vector<Temporary> findTemporaries(DIR *dir, std::string_view name)
{
  std::vector<Temporary> found;
  while (dirent *e = readdir(dir)) {
    std::string_view file = e->d_name;
    pid_t pid = 0;
    std::string_view target = parseTemporary(file, &pid);
    if (!target.empty() && targetWanted(target, name))
      found.push_back({std::string(file), pid});
    else if (isEarlierForm(file, name))
      found.push_back({std::string(file), std::nullopt});
  }
  return found;
}

bool processGone(pid_t pid)
{
  return kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the file when no writer is at work on it. The lock taken here
// keeps a writer that is just starting from locking it meanwhile.
void removeIfStale(int dirFd, const Temporary &t, ULONGLONG now)
{
  int fd = openat(dirFd, t.file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // The change time, not the modification time: a link made to keep a
    // damaged file brings the file's old modification time along.
    ULONGLONG changed = unixToFileTime(st.st_ctime);
    bool unchanged = now > changed && (now - changed) / 10000000 > STALE_TEMPORARY_SECONDS;
    if ((t.pid && processGone(*t.pid)) || unchanged)
      (void)unlinkat(dirFd, t.file.c_str(), 0); // gone meanwhile: renamed by its writer
  }
  close(fd);
}

} // namespace

std::string temporaryPattern(const std::filesystem::path &target)
{
  return target.parent_path() / ("." + target.filename().string() + std::string(TEMPORARY_MARK) +
                                 std::to_string(getpid()) + ".XXXXXX");
}

void removeStaleTemporaries(const std::filesystem::path &dir, std::string_view name)
{
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0)
    return;
  DIR *d = fdopendir(dirFd);
  if (!d) {
    close(dirFd);
    return;
  }
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  for (const Temporary &t : findTemporaries(d, name))
    removeIfStale(dirfd(d), t, fileTimeToU64(ft));
  closedir(d);
}

void removeStaleTemporariesOf(const std::filesystem::path &target)
{
  removeStaleTemporaries(target.parent_path(), target.filename().string());
}
