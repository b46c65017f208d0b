// Where the window channel's sockets live, and their names.
#include "platform/fs/datapath.h"
#include "platform/text/wstr.h"
#include "platform/window/channel.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

std::uint64_t fnv1a64(std::string_view bytes)
{
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string hex16(std::uint64_t v)
{
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

// The data root as one spelling, so that two paths to the same root meet.
std::string canonicalRoot()
{
  std::error_code ec;
  std::filesystem::path root = dataRoot();
  std::filesystem::path canonical = std::filesystem::weakly_canonical(root, ec);
  if (ec)
    canonical = std::filesystem::absolute(root, ec).lexically_normal();
  return canonical.string();
}

std::string foldedUtf8(std::u16string_view text)
{
  std::u16string folded(text);
  wstrLowerInPlace(folded.data());
  return utf16ToUtf8(folded.c_str());
}

// Says once per folder, on standard error, that windows cannot be published
// in it: other programs then cannot reach this one's windows.
void sayUnusable(const std::filesystem::path &dir, const char *why)
{
  static std::mutex lock;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> g(lock);
  if (said.insert(dir.native()).second)
    std::fprintf(stderr, "%s: the socket folder %s cannot be used (%s); other programs cannot reach this one's windows\n",
                 program_invocation_short_name, dir.c_str(), why);
}

} // namespace

std::optional<std::filesystem::path> channelDirectory(bool create)
{
  std::filesystem::path dir;
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/')
    dir = std::filesystem::path(runtime) / "quillmarsh";
  else
    dir = "/tmp/quillmarsh-" + std::to_string(geteuid());

  if (create && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    sayUnusable(dir, std::strerror(errno));
    return std::nullopt;
  }
  // lstat: a symbolic link planted in the folder's place is refused, not followed.
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0) {
    if (create)
      sayUnusable(dir, "not a folder of this user's own, closed to others");
    return std::nullopt;
  }
  return dir;
}

std::optional<std::filesystem::path> channelSocketPath(std::u16string_view className,
                                                       std::u16string_view title, bool create)
{
  std::optional<std::filesystem::path> dir = channelDirectory(create);
  if (!dir)
    return std::nullopt;
  std::string windowKey = foldedUtf8(className);
  windowKey.push_back('\0');
  windowKey += foldedUtf8(title);
  std::filesystem::path path =
      *dir / (hex16(fnv1a64(canonicalRoot())) + "-" + hex16(fnv1a64(windowKey)) + ".sock");
  if (path.native().size() >= sizeof(sockaddr_un{}.sun_path))
    return std::nullopt;
  return path;
}
