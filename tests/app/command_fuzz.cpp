// Commands as they arrive from other processes: a 32-bit command code
// (little-endian, the input's first four bytes) and entry-id bytes (the
// rest), handed to the main window's command handling over a Maildir data
// root. Whatever the bytes, the reply is 0 or 1, nothing crashes, and no
// file or folder outside the message stores is opened: decoy Maildirs beside
// the stores and beside the data root are watched for every open.
#include "app/command_channel.h"
#include "engine/session.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/read_age.h"
#include "services/checkpoint.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char MESSAGE[] = "From: Ann <ann@example.org>\r\nTo: bob@example.net\r\nSubject: Hi\r\n"
                       "Content-Type: text/plain; charset=utf-8\r\n\r\nHello\r\n";

void makeMaildir(const fs::path &folder, bool withMessage)
{
  for (const char *sub : {"cur", "new", "tmp"})
    fs::create_directories(folder / sub);
  if (withMessage)
    std::ofstream(folder / "cur" / "1.M1.host:2,S", std::ios::binary) << MESSAGE;
}

struct Scene {
  fs::path base;     // the temporary folder holding everything
  int watch = -1;        // inotify descriptor watching the decoys
  int rootWatch = -1;    // its watch of the data root itself
  HWND window = nullptr; // the window the commands are for

  Scene()
  {
    char pattern[] = "/tmp/qm-command-fuzz-XXXXXX";
    if (!mkdtemp(pattern))
      std::abort();
    base = pattern;
    fs::path root = base / "root";
    setenv("QUILLMARSH_ROOT", root.c_str(), 1);
    for (const char *folder : {"", "Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"})
      makeMaildir(root / "Mail/Local" / folder, std::strcmp(folder, "Inbox") == 0);
    // Maildirs that look like stores but are not below Mail/.
    makeMaildir(root / "Decoy/Inbox", true);
    makeMaildir(base / "Outside/Inbox", true);
    makeMaildir(base / "Outside", true);

    watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0)
      std::abort();
    for (const fs::path &top : {root / "Decoy", base / "Outside"}) {
      inotify_add_watch(watch, top.c_str(), IN_OPEN | IN_ACCESS);
      for (const auto &e : fs::recursive_directory_iterator(top))
        if (e.is_directory())
          inotify_add_watch(watch, e.path().c_str(), IN_OPEN | IN_ACCESS);
    }
    rootWatch = inotify_add_watch(watch, root.c_str(), IN_OPEN | IN_ACCESS);
    inotify_add_watch(watch, base.c_str(), IN_OPEN | IN_ACCESS);

    createReadAgeLock();
    createKnownUsersLock();
    MAPISetProvider(maildirProvider());
    openSession();
    if (!session)
      std::abort();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Command Fuzz";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, u"Command Fuzz", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr,
                             nullptr, nullptr);
    flushCheckpoint();          // the checkpoints the first pass reached are written now
    (void)outsideOpens(false); // what setting up opened does not count
  }

  ~Scene()
  {
    closeSession();
    // The checkpoints still to be written would make the data root anew
    // after its removal (this runs before the exit's own flush).
    suspendCheckpoints();
    std::error_code ec;
    fs::remove_all(base, ec);
  }

  // Reads the watch: true when something outside the stores was opened
  // (anything in the decoys, or an entry of the data root other than Mail/).
  bool outsideOpens(bool report = true) const
  {
    bool outside = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      ssize_t n = read(watch, buffer, sizeof buffer);
      if (n <= 0)
        return outside;
      for (char *p = buffer; p < buffer + n;) {
        auto *event = reinterpret_cast<inotify_event *>(p);
        bool mailFolder = event->wd == rootWatch && event->len && std::strcmp(event->name, "Mail") == 0;
        if (report && !mailFolder && !(event->mask & IN_Q_OVERFLOW)) {
          std::fprintf(stderr, "opened outside the stores: %s\n", event->len ? event->name : "(the folder)");
          outside = true;
        }
        p += sizeof(inotify_event) + event->len;
      }
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static Scene scene;
  if (size < 4)
    return 0;
  std::uint32_t code = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  std::vector<std::uint8_t> id(data + 4, data + size);
  COPYDATASTRUCT copy{code, static_cast<DWORD>(id.size()), id.empty() ? nullptr : id.data()};
  LRESULT reply = handleCommand(scene.window, 0, &copy);
  if (reply != 0 && reply != 1)
    std::abort();
  if (scene.outsideOpens())
    std::abort();
  return 0;
}
