// Where the Maildir stores live below the data root, and the folders every
// store has.
//
//   <root>/Mail/<store>/             one store per directory (a symbolic link
//                                    to a mail folder tree is fine); the
//                                    directory is the store's top folder
//   <root>/Mail/<store>/Inbox/ ...   standard folders, each a Maildir
//   <root>/Transport/<store>/<unique>  full texts of header-only messages
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// <root>/Mail and <root>/Transport for the current data root.
std::filesystem::path mailRoot();
std::filesystem::path transportRoot();

// The store created when there is none.
inline constexpr const char *DEFAULT_STORE_NAME = "Local";

// The standard folders, by directory name.
inline constexpr const char *INBOX_NAME = "Inbox";
inline constexpr const char *OUTBOX_NAME = "Outbox";
inline constexpr const char *SENT_ITEMS_NAME = "Sent Items";
inline constexpr const char *DELETED_ITEMS_NAME = "Deleted Items";
inline constexpr const char *DRAFTS_NAME = "Drafts";

// Store names (directory names in mailRoot, dot names excepted), sorted.
// When mailRoot is missing or holds no store, creates the default store
// first.
std::vector<std::string> listStoreNames(const std::filesystem::path &mailRoot);

// The directory name of the store's Inbox: "Inbox", or an existing
// subfolder spelled otherwise ("INBOX", as other mail programs write it).
std::string inboxDirName(const std::filesystem::path &storeDir);

// Makes the store's top folder and its standard folders Maildirs, creating
// what is missing (an existing tree keeps what it has). False when one of
// them cannot be made.
bool ensureStandardFolders(const std::filesystem::path &storeDir);

// Path of a message's full text in the transport area.
std::filesystem::path transportPath(const std::filesystem::path &transportRoot,
                                    const std::string &store, const std::string &unique);
