#include "platform/maildir/delivery.h"

#include "platform/maildir/entry_id.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/provider_state.h"
#include "platform/maildir/store_layout.h"
#include "platform/maildir/transport_area.h"

#include "platform/mapi/mapidefs.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The target folder's directory, made (with its store, and any folder on
// the way) when missing, in the store's layout; empty when it cannot be made.
fs::path makeTargetDir(const DeliveryTarget &t)
{
  fs::path p = t.mailRoot / t.store;
  std::error_code ec;
  if (!fs::is_directory(p, ec)) {
    fs::create_directories(t.mailRoot, ec);
    if (!makeOwnStore(p))
      return {};
  }
  StoreLayout layout = recogniseLayout(p);
  if (!makeFolderDir(p, layout, t.folder))
    return {};
  return layoutFolderDir(p, layout, t.folder);
}

// Walks every folder of every store.
template <class Visit>
void eachFolder(const fs::path &mailRoot, Visit &&visit)
{
  struct Walker {
    Visit &visit;
    void walk(const fs::path &dir, const std::string &store, std::vector<std::string> &folder)
    {
      visit(dir, store, folder);
      if (folder.size() >= 32)
        return;
      for (const std::string &sub : listSubfolders(dir)) {
        folder.push_back(sub);
        walk(dir / sub, store, folder);
        folder.pop_back();
      }
    }
  } walker{visit};
  for (const std::string &store : existingStoreNames(mailRoot)) {
    fs::path dir = mailRoot / store;
    std::vector<std::string> top;
    if (recogniseLayout(dir) != StoreLayout::MaildirPlusPlus) {
      walker.walk(dir, store, top);
      continue;
    }
    visit(dir, store, top);
    for (std::vector<std::string> &folder : maildirPlusPlusFolders(dir))
      visit(layoutFolderDir(dir, StoreLayout::MaildirPlusPlus, folder), store, folder);
  }
}

} // namespace

std::optional<std::string> deliverToStore(const DeliveryTarget &target, std::string_view text,
                                          bool headerOnly, const DeliveryOptions &options)
{
  if (!isValidDirName(target.store))
    return std::nullopt;
  for (const std::string &part : target.folder)
    if (!isValidDirName(part) || !isSubfolderName(part))
      return std::nullopt;
  fs::path dir = makeTargetDir(target);
  if (dir.empty())
    return std::nullopt;
  if (!headerOnly)
    return deliverMessageFile(dir, text, options);
  DeliveryOptions o = options;
  if (!o.unique)
    o.unique = makeUniqueName();
  fs::path area = target.transportRoot / target.store;
  std::error_code ec;
  fs::create_directories(area, ec);
  // What deliveries killed midway left goes before the area grows.
  sweepTransportArea(area);
  if (!writeTransportText(area, *o.unique, text))
    return std::nullopt;
  std::string_view header = text.substr(0, parseHeaderSection(text).bodyOffset);
  auto unique = deliverMessageFile(dir, header, o);
  if (!unique)
    unlink((target.transportRoot / target.store / *o.unique).c_str());
  return unique;
}

std::vector<DownloadInfo> listPendingDownloads(const fs::path &mailRoot, const fs::path &transportRoot)
{
  maildir::Session s;
  s.mailRoot = mailRoot;
  s.transportRoot = transportRoot;
  s.events = nullptr;
  std::vector<DownloadInfo> out;
  eachFolder(mailRoot, [&](const fs::path &, const std::string &store,
                           const std::vector<std::string> &folder) {
    for (const auto &[unique, file] : maildir::loadedFolder(s, store, folder).messages) {
      MaildirId id = messageId(store, folder, unique);
      if (!maildir::isPartial(s, id))
        continue;
      bool marked = (maildir::messageStatusOf(s, id) & MSGSTATUS_REMOTE_DOWNLOAD) != 0;
      out.push_back(DownloadInfo{store, folder, unique, marked});
    }
  });
  return out;
}

std::vector<DownloadInfo> completeDownloads(const fs::path &mailRoot, const fs::path &transportRoot,
                                            bool markedOnly)
{
  maildir::Session s;
  s.mailRoot = mailRoot;
  s.transportRoot = transportRoot;
  s.events = nullptr;
  std::vector<DownloadInfo> done;
  for (const DownloadInfo &d : listPendingDownloads(mailRoot, transportRoot))
    if ((d.marked || !markedOnly) &&
        maildir::completeDownload(s, messageId(d.store, d.folder, d.unique)))
      done.push_back(d);
  return done;
}
