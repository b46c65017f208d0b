// Entry ids of the Maildir stores. Opaque to callers; inside, after the four
// zero flag bytes of ENTRYID:
//
//   "QMD" kind   kind 'S' store, 'F' folder, 'M' message
//   store NUL    the store's directory name in <root>/Mail/
//   folder NUL   the folder's path below the store: directory names joined by
//                "/", empty for the store's top folder (folders, messages)
//   unique NUL   the message's Maildir unique name (messages)
//
// The unique name is the file name's part before ":", so an id survives flag
// changes and the move from new/ to cur/. Ids arrive from other processes,
// so decoding checks every name: no empty, "." or ".." component, no dot
// name, no cur/new/tmp as a folder, nothing that leaves the store.
#pragma once

#include "platform/base/types.h"

#include <optional>
#include <string>
#include <vector>

// What an id names.
struct MaildirId {
  char kind = 0;                   // 'S', 'F' or 'M'
  std::string store;               // store directory name
  std::vector<std::string> folder; // directory names from the store down; empty: the top folder
  std::string unique;              // messages: the unique name
};

// The id's bytes (four zero flag bytes first).
std::vector<BYTE> encodeMaildirId(const MaildirId &id);

// The id the bytes hold, or nothing when they are not a valid id of this
// provider.
std::optional<MaildirId> decodeMaildirId(const std::vector<BYTE> &bytes);

// The ids of related objects.
MaildirId storeId(const std::string &store);
MaildirId folderId(const std::string &store, std::vector<std::string> folder);
MaildirId messageId(const std::string &store, std::vector<std::string> folder, std::string unique);

// The folder path as written in an id and used as a key ("Inbox/Work").
std::string joinFolder(const std::vector<std::string> &folder);

// The folder components of a path joined by joinFolder ("" is the top folder).
std::vector<std::string> splitFolder(const std::string &path);

// True for a directory name that may name a store or a folder component.
bool isValidDirName(const std::string &name);
