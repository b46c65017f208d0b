#include "platform/maildir/side_file.h"

#include "platform/errline/errline.h"
#include "platform/fs/files.h"
#include "platform/text/wstr.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr std::string_view MAGIC = "quillmarsh-side 1";

DWORD fnv1a(std::string_view s)
{
  DWORD h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

std::string escape(std::string_view s)
{
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c == '%' || c == 0x7F) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::optional<std::string> unescape(std::string_view s)
{
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out.push_back(s[i]);
      continue;
    }
    if (i + 2 >= s.size() || hexDigit(s[i + 1]) < 0 || hexDigit(s[i + 2]) < 0)
      return std::nullopt;
    out.push_back(static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2])));
    i += 2;
  }
  return out;
}

std::optional<DWORD> parseHex8(std::string_view s)
{
  if (s.size() != 8)
    return std::nullopt;
  DWORD v = 0;
  for (char c : s) {
    int d = hexDigit(c);
    if (d < 0)
      return std::nullopt;
    v = (v << 4) | static_cast<DWORD>(d);
  }
  return v;
}

// One line's entry; false when the line is damaged.
bool parseLine(std::string_view line, std::string *unique, SideEntry *entry)
{
  std::size_t hash = line.rfind("\t#");
  if (hash == std::string_view::npos)
    return false;
  auto sum = parseHex8(line.substr(hash + 2));
  std::string_view body = line.substr(0, hash);
  if (!sum || *sum != fnv1a(body))
    return false;
  std::size_t tab = body.find('\t');
  auto name = unescape(body.substr(0, tab));
  if (!name || name->empty())
    return false;
  *unique = *name;
  while (tab != std::string_view::npos) {
    std::size_t next = body.find('\t', tab + 1);
    std::string_view field = body.substr(tab + 1, next == std::string_view::npos ? next : next - tab - 1);
    tab = next;
    std::size_t eq = field.find('=');
    if (eq == std::string_view::npos)
      return false;
    std::string_view key = field.substr(0, eq), value = field.substr(eq + 1);
    if (key == "status") {
      entry->status = parseHex8(value);
      if (!entry->status)
        return false;
    } else if (key == "to" || key == "cc") {
      auto text = unescape(value);
      if (!text)
        return false;
      (key == "to" ? entry->displayTo : entry->displayCc) = utf8ToUtf16(*text);
    }
    // Unknown keys come from a later version: kept out, the line still counts.
  }
  return true;
}

// Says once on standard error that a side file cannot be read, while it
// stays so; a later successful read lets the next failure be said again.
void noteUnreadable(const std::filesystem::path &p, int error)
{
  static std::mutex lock;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> g(lock);
  if (error == 0) {
    said.erase(p.native());
    return;
  }
  if (said.insert(p.native()).second)
    writeErrorLine(std::string(program_invocation_short_name) + ": cannot read " + p.native() + " (" +
                   (error == EINVAL ? "not a regular file" : std::strerror(error)) + "); its entries count as damaged");
}

// A side file larger than this is not read: a line per message comes
// nowhere near, and a runaway file must not exhaust memory.
constexpr std::size_t MAX_SIDE_FILE_BYTES = 64u << 20;

// The file's bytes: none when it is missing, and none (said once) when it
// cannot be read, like a file whose every line is damaged. Only a regular
// file is read, never through a link and never blocking: a FIFO or a link
// to /dev/zero under its name cannot hold up or exhaust the session.
std::string readWhole(const std::filesystem::path &p)
{
  std::string text;
  int error = readRegularFile(p, MAX_SIDE_FILE_BYTES, &text);
  if (error == ENOENT)
    return {};
  noteUnreadable(p, error);
  return error == 0 ? text : std::string();
}

} // namespace

std::string formatSideFile(const SideEntries &entries)
{
  std::string out(MAGIC);
  out += '\n';
  for (const auto &[unique, e] : entries) {
    if (e.empty())
      continue;
    std::string line = escape(unique);
    if (e.status) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "\tstatus=%08X", static_cast<unsigned>(*e.status));
      line += buf;
    }
    if (e.displayTo)
      line += "\tto=" + escape(utf16ToUtf8(*e.displayTo));
    if (e.displayCc)
      line += "\tcc=" + escape(utf16ToUtf8(*e.displayCc));
    char sum[16];
    std::snprintf(sum, sizeof sum, "\t#%08X", static_cast<unsigned>(fnv1a(line)));
    out += line + sum + '\n';
  }
  return out;
}

SideEntries parseSideFile(std::string_view text)
{
  SideEntries entries;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos)
      break; // a last line without its line break is cut
    std::string_view line = text.substr(pos, lf - pos);
    pos = lf + 1;
    if (line == MAGIC)
      continue;
    std::string unique;
    SideEntry e;
    if (parseLine(line, &unique, &e) && !e.empty())
      entries[unique] = std::move(e);
  }
  return entries;
}

SideEntries readSideFile(const std::filesystem::path &folder)
{
  return parseSideFile(readWhole(folder / SIDE_FILE_NAME));
}

SideFileLock::SideFileLock(const std::filesystem::path &folder)
{
  fd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SideFileLock::~SideFileLock()
{
  if (fd_ >= 0)
    close(fd_); // closing releases the lock
}

bool updateSideFileLocked(const std::filesystem::path &folder,
                          const std::function<bool(SideEntries &)> &change)
{
  SideEntries entries = readSideFile(folder);
  if (!change(entries))
    return true;
  bool anything = false;
  for (const auto &kv : entries)
    anything = anything || !kv.second.empty();
  std::filesystem::path path = folder / SIDE_FILE_NAME;
  if (!anything) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return !ec;
  }
  AtomicFile af;
  if (!atomicOpen(&af, path))
    return false;
  std::string text = formatSideFile(entries);
  if (std::fwrite(text.data(), 1, text.size(), af.file) != text.size()) {
    atomicAbort(&af);
    return false;
  }
  return atomicCommit(&af);
}

bool updateSideFile(const std::filesystem::path &folder,
                    const std::function<bool(SideEntries &)> &change)
{
  SideFileLock lock(folder);
  if (!lock.held())
    return false;
  return updateSideFileLocked(folder, change);
}
