#include "platform/maildir/maildir_name.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <unistd.h>

MaildirName splitMaildirName(std::string_view fileName)
{
  MaildirName n;
  std::size_t colon = fileName.rfind(':');
  if (colon == std::string_view::npos) {
    n.unique = fileName;
    return n;
  }
  n.unique = fileName.substr(0, colon);
  n.info = fileName.substr(colon + 1);
  return n;
}

bool isMessageFileName(std::string_view fileName)
{
  return !fileName.empty() && fileName.front() != '.';
}

bool hasMaildirFlag(std::string_view info, char flag)
{
  return info.substr(0, 2) == "2," && info.substr(2).find(flag) != std::string_view::npos;
}

std::string withMaildirFlag(std::string_view info, char flag, bool set)
{
  std::string flags;
  if (info.substr(0, 2) == "2,")
    flags = std::string(info.substr(2));
  flags.erase(std::remove(flags.begin(), flags.end(), flag), flags.end());
  if (set)
    flags.push_back(flag);
  std::sort(flags.begin(), flags.end());
  flags.erase(std::unique(flags.begin(), flags.end()), flags.end());
  return "2," + flags;
}

std::string curFileName(std::string_view unique, std::string_view info)
{
  std::string name(unique);
  name += ':';
  name += info.empty() ? std::string_view("2,") : info;
  return name;
}

namespace {

// This host's name as unique names write it.
std::string uniqueHostPart()
{
  char host[256] = "localhost";
  if (gethostname(host, sizeof host - 1) != 0)
    std::snprintf(host, sizeof host, "localhost");
  host[sizeof host - 1] = 0;
  std::string safeHost;
  for (const char *p = host; *p; ++p) {
    if (*p == '/')
      safeHost += "\\057";
    else if (*p == ':')
      safeHost += "\\072";
    else
      safeHost += *p;
  }
  return safeHost;
}

} // namespace

std::optional<long> uniqueNameWriter(const std::string &name)
{
  long long seconds = 0, usec = 0;
  long pid = 0;
  unsigned count = 0;
  unsigned long long random = 0;
  int used = 0;
  if (std::sscanf(name.c_str(), "%lld.M%lldP%ldQ%uR%16llx.%n", &seconds, &usec, &pid, &count, &random,
                  &used) != 5 ||
      used <= 0 || name.compare(static_cast<std::size_t>(used), std::string::npos, uniqueHostPart()) != 0)
    return std::nullopt;
  return pid;
}

std::string makeUniqueName()
{
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 rng{std::random_device{}()};
  auto now = std::chrono::system_clock::now().time_since_epoch();
  long long usecTotal = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  char buf[128];
  std::snprintf(buf, sizeof buf, "%lld.M%lldP%ldQ%uR%016llx.", usecTotal / 1000000,
                usecTotal % 1000000, static_cast<long>(getpid()), ++counter,
                static_cast<unsigned long long>(rng()));
  return buf + uniqueHostPart();
}

std::string withoutFolderUid(std::string_view unique)
{
  for (std::size_t at = unique.find(",U="); at != std::string_view::npos; at = unique.find(",U=", at + 1)) {
    std::size_t end = at + 3;
    while (end < unique.size() && unique[end] >= '0' && unique[end] <= '9')
      ++end;
    if (end > at + 3 && (end == unique.size() || unique[end] == ','))
      return std::string(unique.substr(0, at)) + std::string(unique.substr(end));
  }
  return std::string(unique);
}
