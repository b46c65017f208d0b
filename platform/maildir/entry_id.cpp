#include "platform/maildir/entry_id.h"

#include "platform/maildir/maildir_folder.h"

namespace {

constexpr BYTE MAGIC[3] = {'Q', 'M', 'D'};

// Splits the bytes after the header into NUL-terminated fields.
std::optional<std::vector<std::string>> fields(const std::vector<BYTE> &bytes, std::size_t from)
{
  std::vector<std::string> out;
  std::string cur;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    if (bytes[i] == 0) {
      out.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.push_back(static_cast<char>(bytes[i]));
    }
  }
  if (!cur.empty())
    return std::nullopt; // a field without its terminator: cut
  return out;
}

} // namespace

bool isValidDirName(const std::string &name)
{
  return !name.empty() && name.size() <= 255 && name.front() != '.' &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string joinFolder(const std::vector<std::string> &folder)
{
  std::string out;
  for (const std::string &part : folder) {
    if (!out.empty())
      out += '/';
    out += part;
  }
  return out;
}

std::vector<std::string> splitFolder(const std::string &path)
{
  std::vector<std::string> parts;
  for (std::size_t start = 0; !path.empty();) {
    std::size_t slash = path.find('/', start);
    parts.push_back(path.substr(start, slash == std::string::npos ? slash : slash - start));
    if (slash == std::string::npos)
      break;
    start = slash + 1;
  }
  return parts;
}

std::vector<BYTE> encodeMaildirId(const MaildirId &id)
{
  std::vector<BYTE> out = {0, 0, 0, 0, MAGIC[0], MAGIC[1], MAGIC[2], static_cast<BYTE>(id.kind)};
  auto add = [&](const std::string &s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
  };
  add(id.store);
  if (id.kind != 'S')
    add(joinFolder(id.folder));
  if (id.kind == 'M')
    add(id.unique);
  return out;
}

std::optional<MaildirId> decodeMaildirId(const std::vector<BYTE> &bytes)
{
  if (bytes.size() < 8 || bytes[0] || bytes[1] || bytes[2] || bytes[3] || bytes[4] != MAGIC[0] ||
      bytes[5] != MAGIC[1] || bytes[6] != MAGIC[2])
    return std::nullopt;
  MaildirId id;
  id.kind = static_cast<char>(bytes[7]);
  std::size_t expected = id.kind == 'S' ? 1 : id.kind == 'F' ? 2 : id.kind == 'M' ? 3 : 0;
  auto f = fields(bytes, 8);
  if (!expected || !f || f->size() != expected)
    return std::nullopt;
  id.store = (*f)[0];
  if (!isValidDirName(id.store))
    return std::nullopt;
  if (expected >= 2 && !(*f)[1].empty()) {
    std::string path = (*f)[1];
    std::size_t start = 0;
    for (;;) {
      std::size_t slash = path.find('/', start);
      std::string part = path.substr(start, slash == std::string::npos ? slash : slash - start);
      if (!isValidDirName(part) || !isSubfolderName(part))
        return std::nullopt;
      id.folder.push_back(part);
      if (slash == std::string::npos)
        break;
      start = slash + 1;
    }
  }
  if (expected == 3) {
    id.unique = (*f)[2];
    if (!isValidDirName(id.unique) || id.unique.find(':') != std::string::npos)
      return std::nullopt;
  }
  return id;
}

MaildirId storeId(const std::string &store) { return MaildirId{'S', store, {}, {}}; }

MaildirId folderId(const std::string &store, std::vector<std::string> folder)
{
  return MaildirId{'F', store, std::move(folder), {}};
}

MaildirId messageId(const std::string &store, std::vector<std::string> folder, std::string unique)
{
  return MaildirId{'M', store, std::move(folder), std::move(unique)};
}
