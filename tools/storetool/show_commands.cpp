// The store tool's commands that look: stores, folders, list, show, pending,
// watch.
#include "tools/storetool/commands.h"
#include "tools/storetool/tool_session.h"

#include "platform/maildir/delivery.h"
#include "platform/maildir/folder_name.h"
#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/store_layout.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <ostream>
#include <pthread.h>

namespace {

std::string utf8(const std::u16string &s) { return utf16ToUtf8(s); }

std::string localTime(ULONGLONG fileTime)
{
  std::time_t t = static_cast<std::time_t>((fileTime - 116444736000000000ull) / 10000000ull);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
  return buf;
}

// "Name <address>", or the address alone when there is no other name.
std::string sender(ToolSession &s, const MaildirId &m)
{
  std::string name = utf8(s.text(m, PR_SENDER_NAME));
  std::string address = utf8(s.text(m, PR_SENDER_EMAIL_ADDRESS));
  if (name.empty() || name == address)
    return address;
  return name + " <" + address + ">";
}

std::string flagsOf(ToolSession &s, const MaildirId &m)
{
  ULONG flags = static_cast<ULONG>(s.number(m, PR_MESSAGE_FLAGS));
  ULONG status = static_cast<ULONG>(s.number(m, PR_MSG_STATUS));
  auto attach = s.prop(m, PR_HASATTACH);
  std::string out = "----";
  if (flags & MSGFLAG_READ)
    out[0] = 'R';
  if (status & (MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL))
    out[1] = 'H';
  if (status & MSGSTATUS_REMOTE_DOWNLOAD)
    out[2] = 'D';
  if (attach && attach->l == 1)
    out[3] = 'A';
  return out;
}

std::string statusText(ULONG status)
{
  struct {
    ULONG bit;
    const char *name;
  } names[] = {{MSGSTATUS_HEADERONLY, "header only"},
               {MSGSTATUS_PARTIAL, "partial"},
               {MSGSTATUS_REMOTE_DOWNLOAD, "download asked for"},
               {MSGSTATUS_PARTIAL_DOWNLOAD, "partial download"},
               {MSGSTATUS_REMOTE_DOWNLOAD_HEADER, "header download"}};
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
  std::string words;
  for (const auto &n : names)
    if (status & n.bit)
      words += (words.empty() ? "" : ", ") + std::string(n.name);
  return words.empty() ? hex : std::string(hex) + " (" + words + ")";
}

// Messages and unread ones of a folder.
std::string counts(ToolSession &s, const MaildirId &folder)
{
  LONG all = s.number(folder, PR_CONTENT_COUNT);
  LONG unread = s.number(folder, PR_CONTENT_UNREAD);
  return std::to_string(all) + (all == 1 ? " message" : " messages") +
         (unread ? ", " + std::to_string(unread) + " unread" : "");
}

void printFolderTree(ToolSession &s, const MaildirId &folder, ToolIo &io)
{
  std::string ref = refOf(folder);
  std::string line = ref;
  if (!folder.folder.empty()) {
    std::string display = utf8(s.text(folder, PR_DISPLAY_NAME));
    if (display != folder.folder.back())
      line += "  \"" + display + "\"";
  }
  io.out << line << "  " << counts(s, folder) << "\n";
  for (const MaildirId &child : s.folders(folder))
    printFolderTree(s, child, io);
}

std::optional<MaildirId> storeNamed(ToolSession &s, const std::string &name)
{
  for (const MaildirId &store : s.stores())
    if (store.store == name)
      return store;
  return std::nullopt;
}

void listFolder(ToolSession &s, const MaildirId &folder, ToolIo &io)
{
  io.out << refOf(folder) << ": " << counts(s, folder) << "\n";
  for (const MaildirId &m : s.messages(folder)) {
    auto delivered = s.prop(m, PR_MESSAGE_DELIVERY_TIME);
    io.out << "  " << m.unique << "  " << flagsOf(s, m) << "  " << s.number(m, PR_CE_MESSAGE_SIZE)
           << "  " << (delivered ? localTime(delivered->u64) : std::string("-")) << "  "
           << sender(s, m) << "  " << utf8(s.text(m, PR_SUBJECT)) << "\n";
  }
}

const char *eventName(ULONG type)
{
  switch (type) {
  case fnevNewMail:
    return "new mail";
  case fnevObjectCreated:
    return "created";
  case fnevObjectDeleted:
    return "deleted";
  case fnevObjectModified:
    return "modified";
  case fnevObjectMoved:
    return "moved";
  case fnevObjectCopied:
    return "copied";
  }
  return "event";
}

// Prints the events it is given, and counts them.
struct WatchPrinter {
  std::ostream *out;           // where to print
  std::mutex lock;             // guards out and seen
  long seen = 0;               // events printed

  static void post(void *self, const MapiEvent *events, ULONG count, bool)
  {
    auto *p = static_cast<WatchPrinter *>(self);
    std::lock_guard<std::mutex> g(p->lock);
    for (ULONG i = 0; i < count; ++i) {
      const MapiEvent &e = events[i];
      auto id = decodeMaildirId(e.id);
      const char *kind = e.eventType == fnevNewMail || e.objType == MAPI_MESSAGE ? "message"
                         : e.objType == MAPI_FOLDER                             ? "folder"
                                                                                : "store";
      *p->out << eventName(e.eventType) << " " << kind << " " << (id ? refOf(*id) : "?");
      if (auto old = decodeMaildirId(e.oldParent))
        *p->out << "  (from " << refOf(*old) << ")";
      *p->out << std::endl;
      ++p->seen;
    }
  }
};

} // namespace

int cmdStores(const CommandArgs &args, ToolIo &io)
{
  if (!args.empty())
    return complain(io, "stores takes no arguments", 2);
  ToolSession s(ToolAccess::look);
  if (!s.ok())
    return complain(io, "cannot open the stores in " + mailRoot().string());
  if (s.stores().empty())
    return complain(io, "no message store in " + mailRoot().string());
  for (const MaildirId &store : s.stores())
    io.out << store.store << "  " << (mailRoot() / store.store).string() << "\n";
  return 0;
}

int cmdFolders(const CommandArgs &args, ToolIo &io)
{
  if (args.size() > 1)
    return complain(io, "folders takes at most a store name", 2);
  ToolSession s(ToolAccess::look);
  if (!s.ok())
    return complain(io, "cannot open the stores in " + mailRoot().string());
  if (s.stores().empty())
    return complain(io, "no message store in " + mailRoot().string());
  std::vector<MaildirId> stores = s.stores();
  if (!args.empty()) {
    auto store = storeNamed(s, args[0]);
    if (!store)
      return complain(io, "no store " + args[0]);
    stores = {*store};
  }
  for (const MaildirId &store : stores)
    printFolderTree(s, folderId(store.store, {}), io);
  return 0;
}

int cmdList(const CommandArgs &args, ToolIo &io)
{
  if (args.size() > 1)
    return complain(io, "list takes at most one folder", 2);
  ToolSession s(ToolAccess::look);
  if (!s.ok())
    return complain(io, "cannot open the stores in " + mailRoot().string());
  if (s.stores().empty())
    return complain(io, "no message store in " + mailRoot().string());
  if (!args.empty()) {
    auto folder = parseFolderPath(args[0]);
    if (!folder || !s.prop(*folder, PR_DISPLAY_NAME))
      return complain(io, "no folder " + args[0]);
    listFolder(s, *folder, io);
    return 0;
  }
  for (const MaildirId &store : s.stores()) {
    MapiEntryBytes inbox;
    if (s.provider().receiveFolder(s.session(), encodeMaildirId(store), u"", &inbox) == S_OK)
      if (auto id = decodeMaildirId(inbox))
        listFolder(s, *id, io);
  }
  return 0;
}

int cmdShow(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 1)
    return complain(io, "show takes one message", 2);
  auto m = parseMessageRef(args[0]);
  if (!m)
    return complain(io, "not a message: " + args[0], 2);
  ToolSession s(ToolAccess::look);
  if (!s.ok() || !s.prop(*m, PR_MESSAGE_FLAGS))
    return complain(io, "no message " + args[0]);
  std::string file;
  for (const MessageFile &f : listMessageFiles(mailRoot() / refOf(folderId(m->store, m->folder))))
    if (splitMaildirName(f.fileName).unique == m->unique)
      file = messagePath(mailRoot() / refOf(folderId(m->store, m->folder)), f).string();
  auto text = [&](ULONG tag) {
    auto v = s.prop(*m, tag);
    return v ? utf8(v->text) : std::string("(none)");
  };
  auto delivered = s.prop(*m, PR_MESSAGE_DELIVERY_TIME);
  auto attach = s.prop(*m, PR_HASATTACH);
  io.out << "Message      " << refOf(*m) << "\n"
         << "Entry id     " << hexId(*m) << "\n"
         << "File         " << file << "\n"
         << "Subject      " << text(PR_SUBJECT) << "\n"
         << "Sender name  " << text(PR_SENDER_NAME) << "\n"
         << "Sender       " << text(PR_SENDER_EMAIL_ADDRESS) << "\n"
         << "To           " << text(PR_DISPLAY_TO) << "\n"
         << "Cc           " << text(PR_DISPLAY_CC) << "\n"
         << "Size         " << s.number(*m, PR_CE_MESSAGE_SIZE) << " bytes\n"
         << "Delivered    " << (delivered ? localTime(delivered->u64) : std::string("(none)")) << "\n"
         << "Read         " << ((s.number(*m, PR_MESSAGE_FLAGS) & MSGFLAG_READ) ? "yes" : "no") << "\n"
         << "Status       " << statusText(static_cast<ULONG>(s.number(*m, PR_MSG_STATUS))) << "\n"
         << "Attachments  " << (attach && attach->l == 1 ? "yes" : "no") << "\n";
  return 0;
}

int cmdPending(const CommandArgs &args, ToolIo &io)
{
  if (!args.empty())
    return complain(io, "pending takes no arguments", 2);
  if (existingStoreNames(mailRoot()).empty())
    return complain(io, "no message store in " + mailRoot().string());
  for (const DownloadInfo &d : listPendingDownloads(mailRoot(), transportRoot()))
    io.out << refOf(messageId(d.store, d.folder, d.unique)) << (d.marked ? "  marked" : "") << "\n";
  return 0;
}

int cmdWatch(const CommandArgs &args, ToolIo &io)
{
  long limit = -1;
  if (!args.empty()) {
    if (args[0] != "--count" || args.size() > 2)
      return complain(io, "watch takes only --count N", 2);
    if (args.size() == 1)
      return complain(io, "option --count needs a value", 2);
    char *end = nullptr;
    limit = std::strtol(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end || limit < 0)
      return complain(io, "--count wants a whole number of changes, not " + args[1], 2);
  }
  // Ctrl-C and SIGTERM end the watch; the session's thread, started
  // below, inherits the blocked signals so that they come here.
  sigset_t signals, previous;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, &previous);
  WatchPrinter printer;
  printer.out = &io.out;
  MapiEventSink sink{&WatchPrinter::post, &printer};
  int status = 0;
  {
    ToolSession s(ToolAccess::look, true, &sink);
    if (!s.ok()) {
      status = complain(io, "cannot open the stores in " + mailRoot().string());
    } else {
      io.out << "watching " << mailRoot().string() << std::endl;
      for (;;) {
        {
          std::lock_guard<std::mutex> g(printer.lock);
          if (limit >= 0 && printer.seen >= limit)
            break;
        }
        timespec tick{0, 100 * 1000 * 1000};
        if (sigtimedwait(&signals, nullptr, &tick) > 0)
          break;
      }
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return status;
}
