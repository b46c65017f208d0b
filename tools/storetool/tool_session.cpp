#include "tools/storetool/tool_session.h"

#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <cstdio>

ToolSession::ToolSession(ToolAccess access, bool watch, const MapiEventSink *sink)
{
  provider_ = createMaildirProvider(MaildirOptions{watch, false, access == ToolAccess::change});
  if (provider_->logon(provider_->backend, sink, &session_) != S_OK)
    session_ = nullptr;
}

ToolSession::~ToolSession()
{
  if (session_)
    provider_->logoff(session_);
  destroyMaildirProvider(provider_);
}

namespace {

std::vector<MaildirId> decodeAll(const std::vector<MapiEntryBytes> &ids)
{
  std::vector<MaildirId> out;
  for (const MapiEntryBytes &b : ids)
    if (auto id = decodeMaildirId(b))
      out.push_back(*id);
  return out;
}

std::vector<std::string> splitPath(const std::string &path)
{
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = path.find('/', start);
    parts.push_back(path.substr(start, slash == std::string::npos ? slash : slash - start));
    if (slash == std::string::npos)
      return parts;
    start = slash + 1;
  }
}

} // namespace

std::vector<MaildirId> ToolSession::stores()
{
  std::vector<MapiEntryBytes> ids;
  provider_->listStores(session_, &ids);
  return decodeAll(ids);
}

std::vector<MaildirId> ToolSession::folders(const MaildirId &folder)
{
  std::vector<MapiEntryBytes> ids;
  provider_->listFolders(session_, encodeMaildirId(folder), &ids);
  return decodeAll(ids);
}

std::vector<MaildirId> ToolSession::messages(const MaildirId &folder)
{
  std::vector<MapiEntryBytes> ids;
  provider_->listMessages(session_, encodeMaildirId(folder), &ids);
  return decodeAll(ids);
}

std::optional<MapiValue> ToolSession::prop(const MaildirId &id, ULONG tag)
{
  MapiValue v;
  if (provider_->getProp(session_, encodeMaildirId(id), tag, &v) != S_OK)
    return std::nullopt;
  return v;
}

std::u16string ToolSession::text(const MaildirId &id, ULONG tag)
{
  auto v = prop(id, tag);
  return v ? v->text : std::u16string();
}

LONG ToolSession::number(const MaildirId &id, ULONG tag)
{
  auto v = prop(id, tag);
  return v ? v->l : 0;
}

std::optional<MaildirId> parseFolderPath(const std::string &path)
{
  std::vector<std::string> parts = splitPath(path);
  while (parts.size() > 1 && parts.back().empty())
    parts.pop_back(); // "Local/Inbox/" is "Local/Inbox"
  MaildirId id = folderId(parts[0], {parts.begin() + 1, parts.end()});
  if (!decodeMaildirId(encodeMaildirId(id)))
    return std::nullopt;
  return id;
}

std::optional<MaildirId> parseMessageRef(const std::string &ref)
{
  if (ref.size() >= 16 && ref.size() % 2 == 0 &&
      ref.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    MapiEntryBytes bytes;
    for (std::size_t i = 0; i < ref.size(); i += 2)
      bytes.push_back(static_cast<BYTE>(std::stoi(ref.substr(i, 2), nullptr, 16)));
    auto id = decodeMaildirId(bytes);
    if (id && id->kind == 'M')
      return id;
    return std::nullopt;
  }
  std::vector<std::string> parts = splitPath(ref);
  if (parts.size() < 2)
    return std::nullopt;
  MaildirId id = messageId(parts[0], {parts.begin() + 1, parts.end() - 1}, parts.back());
  if (!decodeMaildirId(encodeMaildirId(id)))
    return std::nullopt;
  return id;
}

std::string refOf(const MaildirId &id)
{
  std::string out = id.store;
  for (const std::string &part : id.folder)
    out += "/" + part;
  if (id.kind == 'M')
    out += "/" + id.unique;
  return out;
}

std::string hexId(const MaildirId &id)
{
  std::string out;
  char buf[3];
  for (BYTE b : encodeMaildirId(id)) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}
