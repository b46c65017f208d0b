// The mail root coming and going. A session that may not make it waits for
// it to appear, and Mail/ removed or moved away while the program runs stops
// nothing for good: the data root is watched for it, and when it is there
// again its stores are watched again and the messages they hold are
// announced, as for a store that appears.
#include "platform/errline/errline.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/watch_internal.h"

#include <cerrno>
#include <string>

namespace maildir {

namespace {

// What the mail root's own watch reports besides its entries.
constexpr uint32_t MAIL_ROOT_EVENTS = DIR_EVENTS | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

void watchMailRoot(Session &s)
{
  addWatch(s, s.mailRoot.parent_path(), Watch{Watch::DataRoot, {}, {}});
  s.mailRootWd = addWatch(s, s.mailRoot, Watch{Watch::MailRoot, {}, {}}, MAIL_ROOT_EVENTS);
}

void mailRootGone(Session &s)
{
  if (s.mailRootWd < 0)
    return; // known already
  // A watch that followed the directory elsewhere reports nothing of here.
  inotify_rm_watch(s.inotifyFd, s.mailRootWd);
  s.watches.erase(s.mailRootWd);
  s.mailRootWd = -1;
  std::set<std::string> stores;
  for (const auto &kv : s.layouts)
    stores.insert(kv.first);
  for (const auto &kv : s.watches)
    if (kv.second.kind == Watch::FolderDir || kv.second.kind == Watch::Transport)
      stores.insert(kv.second.store);
  for (const std::string &store : stores)
    forgetStore(s, store);
  if (s.options.create) // a session that only looks sorts nothing, and may have a screen to keep
    writeErrorLine(std::string(program_invocation_short_name) + ": " + s.mailRoot.native() +
                   " was removed; its mail is sorted again when it is back");
}

void mailRootBack(Session &s)
{
  std::error_code ec;
  if (s.mailRootWd >= 0 || !fs::is_directory(s.mailRoot, ec))
    return; // watched already, or not a folder (yet)
  s.mailRootWd = addWatch(s, s.mailRoot, Watch{Watch::MailRoot, {}, {}}, MAIL_ROOT_EVENTS);
  if (s.mailRootWd < 0)
    return;
  if (s.options.create)
    writeErrorLine(std::string(program_invocation_short_name) + ": " + s.mailRoot.native() +
                   " is there; its mail is sorted");
  // Stores made before the watch came are met here, later ones by its events.
  for (const std::string &store : existingStoreNames(s.mailRoot))
    if (!s.watchedFolders.count(folderKey(store, {})))
      watchStore(s, store, true);
}

} // namespace maildir
