// The store tool's commands that change the stores: deliver, complete,
// mark, mkstore, mkfolder.
#include "tools/storetool/commands.h"
#include "tools/storetool/tool_session.h"

#include "platform/maildir/delivery.h"
#include "platform/maildir/store_layout.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <ctime>
#include <cstdio>
#include <istream>
#include <iterator>
#include <ostream>

namespace {

// The folder deliveries go to by default: the Inbox of Local, or of the
// first store when there is no Local.
std::optional<MaildirId> defaultInbox(ToolSession &s)
{
  std::vector<MaildirId> stores = s.stores();
  if (stores.empty())
    return std::nullopt;
  MaildirId store = stores[0];
  for (const MaildirId &st : stores)
    if (st.store == DEFAULT_STORE_NAME)
      store = st;
  MapiEntryBytes inbox;
  if (s.provider().receiveFolder(s.session(), encodeMaildirId(store), u"", &inbox) != S_OK)
    return std::nullopt;
  return decodeMaildirId(inbox);
}

bool readInput(const std::string &file, std::istream &in, std::string *text)
{
  if (file == "-") {
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
  }
  // Read without stream exceptions: a directory or an I/O error is a
  // complaint, not an abort.
  FILE *f = std::fopen(file.c_str(), "rb");
  if (!f)
    return false;
  char buf[16384];
  text->clear();
  while (std::size_t n = std::fread(buf, 1, sizeof buf, f))
    text->append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

} // namespace

int cmdDeliver(const CommandArgs &args, ToolIo &io)
{
  std::optional<MaildirId> target;
  bool headerOnly = false;
  DeliveryOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if ((a == "--to" || a == "--age") && i + 1 == args.size()) {
      return complain(io, "option " + a + " needs a value", 2);
    } else if (a == "--to") {
      target = parseFolderPath(args[++i]);
      if (!target)
        return complain(io, "not a folder: " + args[i], 2);
    } else if (a == "--header-only") {
      headerOnly = true;
    } else if (a == "--read") {
      options.info = "2,S";
    } else if (a == "--age") {
      char *end = nullptr;
      long minutes = std::strtol(args[++i].c_str(), &end, 10);
      if (*end || minutes < 0)
        return complain(io, "--age wants whole minutes, not " + args[i], 2);
      options.mtime = std::time(nullptr) - minutes * 60;
    } else if (a.size() > 1 && a[0] == '-') {
      return complain(io, "unknown deliver option " + a, 2);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty())
    files.push_back("-");
  if (!target) {
    ToolSession s(ToolAccess::change);
    if (s.ok())
      target = defaultInbox(s);
    if (!target)
      return complain(io, "no store to deliver to in " + mailRoot().string());
  }
  DeliveryTarget where{mailRoot(), transportRoot(), target->store, target->folder};
  int status = 0;
  for (const std::string &file : files) {
    std::string text;
    if (!readInput(file, io.in, &text)) {
      status = complain(io, "cannot read " + file);
      continue;
    }
    auto unique = deliverToStore(where, text, headerOnly, options);
    if (!unique) {
      status = complain(io, "cannot deliver " + file + " into " + refOf(*target));
      continue;
    }
    io.out << refOf(messageId(target->store, target->folder, *unique)) << "\n";
  }
  return status;
}

int cmdComplete(const CommandArgs &args, ToolIo &io)
{
  bool all = args.size() == 1 && args[0] == "--all";
  if (!args.empty() && !all)
    return complain(io, "complete takes only --all", 2);
  for (const DownloadInfo &d : completeDownloads(mailRoot(), transportRoot(), !all))
    io.out << "completed " << refOf(messageId(d.store, d.folder, d.unique)) << "\n";
  return 0;
}

int cmdMark(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 2)
    return complain(io, "mark takes a message and read, unread, download or keep", 2);
  auto m = parseMessageRef(args[0]);
  if (!m)
    return complain(io, "not a message: " + args[0], 2);
  const std::string &state = args[1];
  if (state != "read" && state != "unread" && state != "download" && state != "keep")
    return complain(io, "unknown state " + state + " (read, unread, download, keep)", 2);
  ToolSession s(ToolAccess::change);
  auto flags = s.ok() ? s.prop(*m, PR_MESSAGE_FLAGS) : std::nullopt;
  if (!flags)
    return complain(io, "no message " + args[0]);
  ULONG status = static_cast<ULONG>(s.number(*m, PR_MSG_STATUS));
  MapiValue value;
  if (state == "read" || state == "unread") {
    ULONG f = static_cast<ULONG>(flags->l);
    value = mapiLong(PR_MESSAGE_FLAGS, static_cast<LONG>(state == "read" ? f | MSGFLAG_READ
                                                                       : f & ~MSGFLAG_READ));
  } else if (state == "download") {
    // As a rule asks for it: the download-state bits out, the mark in.
    status = (status & ~(MSGSTATUS_PARTIAL_DOWNLOAD | MSGSTATUS_REMOTE_DOWNLOAD_HEADER)) |
             MSGSTATUS_REMOTE_DOWNLOAD;
    value = mapiLong(PR_MSG_STATUS, static_cast<LONG>(status));
  } else {
    value = mapiLong(PR_MSG_STATUS, static_cast<LONG>(status & ~MSGSTATUS_REMOTE_DOWNLOAD));
  }
  if (s.provider().setProp(s.session(), encodeMaildirId(*m), value) != S_OK)
    return complain(io, "cannot mark " + args[0]);
  return 0;
}

int cmdMkstore(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 1)
    return complain(io, "mkstore takes a store name", 2);
  if (!isValidDirName(args[0]))
    return complain(io, "not a store name: " + args[0], 2);
  // An existing store keeps what it has, in its own layout.
  std::error_code ec;
  std::filesystem::create_directories(mailRoot(), ec);
  if (!std::filesystem::is_directory(mailRoot() / args[0], ec) && !makeOwnStore(mailRoot() / args[0]))
    return complain(io, "cannot make " + (mailRoot() / args[0]).string());
  io.out << args[0] << "\n";
  return 0;
}

int cmdMkfolder(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 2)
    return complain(io, "mkfolder takes a folder and a name", 2);
  auto parent = parseFolderPath(args[0]);
  if (!parent)
    return complain(io, "not a folder: " + args[0], 2);
  ToolSession s(ToolAccess::change);
  MapiEntryBytes created;
  HRESULT hr = s.ok() ? s.provider().createFolder(s.session(), encodeMaildirId(*parent),
                                                  utf8ToUtf16(args[1]), true, &created)
                      : MAPI_E_NOT_FOUND;
  auto id = decodeMaildirId(created);
  if (hr != S_OK || !id)
    return complain(io, "cannot make " + args[1] + " in " + args[0]);
  io.out << refOf(*id) << "\n";
  return 0;
}
