// Where the Maildir stores live below the data root, how each store lays
// its folders out, and the folders every store has.
//
//   <root>/Mail/<store>/             one store per directory (a symbolic link
//                                    to a mail folder tree is fine)
//   <root>/Transport/<store>/<unique>  full texts of header-only messages
//
// A store keeps the layout it has (docs/maildir.md, "Layouts"):
//   own      <store>/Inbox/, <store>/Inbox/Work/: a directory per folder, the
//            program's names for the standard folders
//   nested   the same tree as other programs write it, with an "INBOX"
//   Maildir++  <store>/cur,new,tmp is the Inbox and the top folder;
//            <store>/.Work/ and <store>/.Work.Sub/ are its folders, their
//            names in IMAP's modified UTF-7
// Folders are named in entry ids by components: directory names (own,
// nested) or the names between the dots (Maildir++).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// <root>/Mail and <root>/Transport for the current data root.
std::filesystem::path mailRoot();
std::filesystem::path transportRoot();

// The store created when there is none.
inline constexpr const char *DEFAULT_STORE_NAME = "Local";

// The standard folders of the program's own stores, by directory name.
inline constexpr const char *INBOX_NAME = "Inbox";
inline constexpr const char *OUTBOX_NAME = "Outbox";
inline constexpr const char *SENT_ITEMS_NAME = "Sent Items";
inline constexpr const char *DELETED_ITEMS_NAME = "Deleted Items";
inline constexpr const char *DRAFTS_NAME = "Drafts";

// Store names (directory names in mailRoot, dot names excepted), sorted.
// When mailRoot is missing or holds no store, creates the default store
// first.
std::vector<std::string> listStoreNames(const std::filesystem::path &mailRoot);

// The same without creating anything: empty when there is no store.
std::vector<std::string> existingStoreNames(const std::filesystem::path &mailRoot);

// How a store's folders lie on disk.
enum class StoreLayout {
  Own,            // the program's: one directory per folder, "Inbox", "Deleted Items"
  Nested,         // one directory per folder as other programs write it ("INBOX")
  MaildirPlusPlus // the top Maildir is the Inbox, ".Folder.Sub" beside it
};

// What a store's directories told recognition.
enum class LayoutEvidence {
  None,       // nothing yet: no folder, no Maildir at the top
  TopMaildir, // only cur/ or new/ at the top: a plain Maildir, or any store
              // half made (the top Maildir may come before the folders)
  Folder      // a folder: "Inbox", another spelling of it, a Maildir++ folder,
              // or another directory holding a Maildir
};

// The layout of an existing store directory, by the first of: an "Inbox"
// directory makes it the program's own, another spelling of it nested; a
// Maildir++ folder makes it Maildir++; another directory holding a Maildir
// (a tree without an Inbox) the program's own; a Maildir at the top alone
// (cur/ or new/) Maildir++; nothing of these the program's own.
StoreLayout recogniseLayout(const std::filesystem::path &storeDir, LayoutEvidence *evidence = nullptr);

// The directory of a folder of a store (components from the top folder down).
std::filesystem::path layoutFolderDir(const std::filesystem::path &storeDir, StoreLayout layout,
                                      const std::vector<std::string> &folder);

// The folder a Maildir++ directory name (".Work.Sub") stands for; nothing
// for a name that is no folder of that layout (no leading dot, an empty
// level, a level that could not be a folder component).
std::optional<std::vector<std::string>> parseMaildirPlusPlusName(std::string_view dirName);

// Every folder directory of a Maildir++ store: dot directories that parse
// as folders and are Maildirs (cur/, new/ or a "maildirfolder" file), so
// that other programs' dot directories are no folders. Sorted.
std::vector<std::vector<std::string>> maildirPlusPlusFolders(const std::filesystem::path &storeDir);

// The names of a folder's direct subfolders on disk, sorted. In a Maildir++
// store a level that only has folders below it (".A.B" without ".A") is
// listed too.
std::vector<std::string> childFolderNames(const std::filesystem::path &storeDir, StoreLayout layout,
                                          const std::vector<std::string> &folder);

// The component a display name gets in a layout; nothing when the layout
// cannot hold it (empty; in Maildir++ a "." or "/", the separators).
std::optional<std::string> folderComponent(StoreLayout layout, const std::u16string &displayName);

// The display name of a component in a layout.
std::u16string componentDisplayName(StoreLayout layout, const std::string &component);

// The folders that have a part to play.
enum class StandardFolder { Inbox, Outbox, SentItems, DeletedItems, Drafts };

// The folder that stands for a standard folder: the Inbox of the layout,
// else the first existing top-level folder among the names that count
// (docs/maildir.md), else the folder the program makes when it first
// writes there ("Deleted Items" in its own stores, "Trash" in others).
std::vector<std::string> standardFolder(const std::filesystem::path &storeDir, StoreLayout layout,
                                        StandardFolder which);

// Makes a folder's Maildir, with the folders on the way in a nested tree,
// and in Maildir++ the "maildirfolder" mark in a folder it makes, as other
// Maildir++ programs do. True when it exists afterwards.
bool makeFolderDir(const std::filesystem::path &storeDir, StoreLayout layout,
                   const std::vector<std::string> &folder);

// Makes a store of the program's own: its top folder and its standard
// folders. False when one of them cannot be made.
bool makeOwnStore(const std::filesystem::path &storeDir);

// Path of a message's full text in the transport area.
std::filesystem::path transportPath(const std::filesystem::path &transportRoot,
                                    const std::string &store, const std::string &unique);
