// fork/exec with only async-signal-safe calls between them, so that starting
// a program is safe while other threads run.
#include "platform/shell/spawn.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Puts stdin/stdout/stderr on /dev/null and keeps no other descriptor past exec.
void detachDescriptors()
{
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    if (null > 2)
      close(null);
  }
#ifdef SYS_close_range
  syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
}

std::vector<char *> argvPointers(const std::vector<std::string> &argv)
{
  std::vector<char *> out;
  for (const std::string &a : argv)
    out.push_back(const_cast<char *>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

} // namespace

std::string findExecutable(const std::string &name)
{
  if (name.empty())
    return {};
  if (name.find('/') != std::string::npos)
    return access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char *path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

bool spawnDetached(const std::vector<std::string> &argv, const std::string &dir)
{
  if (argv.empty())
    return false;
  std::vector<char *> args = argvPointers(argv);
  const char *program = argv[0].c_str();
  const char *workDir = dir.empty() ? nullptr : dir.c_str();
  // The grandchild reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec) without a word.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0)
    return false;
  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    close(report[0]);
    pid_t grandchild = fork();
    if (grandchild != 0)
      _exit(grandchild < 0 ? 1 : 0);
    setsid();
    int err = 0;
    if (workDir && chdir(workDir) != 0)
      err = errno;
    if (err == 0) {
      detachDescriptors();
      execv(program, args.data());
      err = errno;
    }
    ssize_t ignored = write(report[1], &err, sizeof err);
    (void)ignored; // nothing more to tell anyone
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t got;
  do {
    got = read(report[0], &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return forked && got == 0;
}

bool spawnAndWait(const std::vector<std::string> &argv)
{
  if (argv.empty())
    return false;
  std::vector<char *> args = argvPointers(argv);
  const char *program = argv[0].c_str();
  pid_t child = fork();
  if (child < 0)
    return false;
  if (child == 0) {
    detachDescriptors();
    execv(program, args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR)
      return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string asPathArgument(const std::string &path)
{
  return !path.empty() && path[0] == '-' ? "./" + path : path;
}
