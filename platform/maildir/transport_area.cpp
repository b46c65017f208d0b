#include "platform/maildir/transport_area.h"

#include "platform/clock/clock.h"
#include "platform/fs/files.h"
#include "platform/fs/temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view EARLIER_SUFFIX = ".part";

bool isEarlierPartial(std::string_view name)
{
  return name.size() > 1 + EARLIER_SUFFIX.size() && name[0] == '.' &&
         name.substr(name.size() - EARLIER_SUFFIX.size()) == EARLIER_SUFFIX;
}

} // namespace

bool writeTransportText(const std::filesystem::path &area, const std::string &unique, std::string_view text)
{
  AtomicFile file;
  if (!atomicOpen(&file, area / unique))
    return false;
  if (std::fwrite(text.data(), 1, text.size(), file.file) != text.size()) {
    atomicAbort(&file);
    return false;
  }
  return atomicCommit(&file);
}

void sweepTransportArea(const std::filesystem::path &area)
{
  removeStaleTemporaries(area, {});
  DIR *d = opendir(area.c_str());
  if (!d)
    return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG nowTime = fileTimeToU64(now);
  while (dirent *e = readdir(d)) {
    struct stat st;
    if (!isEarlierPartial(e->d_name) || fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    ULONGLONG changed = unixToFileTime(st.st_ctime);
    if (nowTime > changed && (nowTime - changed) / 10000000 > STALE_TEMPORARY_SECONDS)
      (void)unlinkat(dirfd(d), e->d_name, 0); // gone meanwhile: nothing to do
  }
  closedir(d);
}
