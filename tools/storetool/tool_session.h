// A Maildir provider session for the store tool, and the tool's ways of
// naming stores, folders and messages on its command line.
#pragma once

#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_provider.h"

#include <optional>
#include <string>
#include <vector>

// What a command does to the stores.
enum class ToolAccess {
  look,   // reads only: no store, folder or transport area is made
  change, // writes: the default store and standard folders are made when missing
};

// A session of its own (no transport: downloads are completed only when
// asked). Events go to sink when one is given.
class ToolSession {
public:
  explicit ToolSession(ToolAccess access, bool watch = false, const MapiEventSink *sink = nullptr);
  ~ToolSession();
  ToolSession(const ToolSession &) = delete;
  ToolSession &operator=(const ToolSession &) = delete;

  bool ok() const { return session_ != nullptr; }
  MapiProvider &provider() { return *provider_; }
  void *session() { return session_; }

  std::vector<MaildirId> stores();
  std::vector<MaildirId> folders(const MaildirId &folder);
  std::vector<MaildirId> messages(const MaildirId &folder);
  // One property, or nothing when it cannot be read.
  std::optional<MapiValue> prop(const MaildirId &id, ULONG tag);
  std::u16string text(const MaildirId &id, ULONG tag); // empty when absent
  LONG number(const MaildirId &id, ULONG tag);         // 0 when absent

private:
  MapiProvider *provider_ = nullptr; // this session's provider table
  void *session_ = nullptr;          // the session, null when logon failed
};

// "Store/Folder/Sub" (directory names, as `folders` prints them) as a folder
// id; "Store" alone is the store's top folder. Nothing when malformed.
std::optional<MaildirId> parseFolderPath(const std::string &path);

// "Store/Folder/UNIQUE" or an entry id in hex, as a message id.
std::optional<MaildirId> parseMessageRef(const std::string &ref);

// The path of a folder or message as the tool prints it.
std::string refOf(const MaildirId &id);

// An entry id in hex, as `show` prints it.
std::string hexId(const MaildirId &id);
