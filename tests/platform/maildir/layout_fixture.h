// Message stores laid out by hand as the common mail tools lay them out,
// with their file names, flag suffixes and side files, and a snapshot of a
// tree to show that looking changed nothing.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace layouts {

namespace fs = std::filesystem;

inline void put(const fs::path &p, const std::string &text)
{
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

inline std::string mail(const std::string &subject)
{
  return "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: " + subject + "\r\n\r\nhi\r\n";
}

inline void maildir(const fs::path &dir)
{
  for (const char *sub : {"cur", "new", "tmp"})
    fs::create_directories(dir / sub);
}

// Dovecot's Maildir++ (also what offlineimap, mbsync with "SubFolders
// Maildir++" and getmail write): the top Maildir is the Inbox, folders are
// dot directories beside it, names in IMAP's modified UTF-7; Dovecot's
// index and list files at the top; "maildirfolder" in each folder.
inline void dovecotStore(const fs::path &dir)
{
  maildir(dir);
  put(dir / "new" / "1700000001.M1P11.mx", mail("fresh"));
  put(dir / "cur" / "1700000002.M2P12.mx,S=120,W=124:2,FSa", mail("flagged, keyword a"));
  put(dir / "dovecot-uidlist", "3 V1700000000 N3 G0123\n1 1700000001.M1P11.mx\n2 1700000002.M2P12.mx\n");
  put(dir / "dovecot-keywords", "0 $Important\n");
  put(dir / "subscriptions", "Sent\nTrash\nWork\nWork.Projects\n");
  put(dir / "maildirsize", "1000000S\n240 2\n");
  for (const char *folder : {".Sent", ".Trash", ".Work", ".Work.Projects", ".Entw&APw-rfe"}) {
    maildir(dir / folder);
    put(dir / folder / "maildirfolder", "");
  }
  put(dir / ".Sent" / "cur" / "1700000003.M3P13.mx:2,S", mail("sent"));
  put(dir / ".Work.Projects" / "cur" / "1700000004.M4P14.mx:2,RS", mail("project"));
  // Another program's data in a dot directory is no folder.
  put(dir / ".notmuch" / "xapian" / "flintlock", "");
}

// mbsync's nested layout ("SubFolders Verbatim"): an INBOX directory, one
// directory per folder, UIDs in the file names.
inline void mbsyncStore(const fs::path &dir)
{
  maildir(dir / "INBOX");
  put(dir / "INBOX" / "cur" / "1700000001.1_1.host,U=1:2,S", mail("read"));
  put(dir / "INBOX" / "new" / "1700000002.2_1.host,U=2:2,", mail("unread"));
  put(dir / "INBOX" / ".uidvalidity", "1700000000\n3\n");
  put(dir / "INBOX" / ".mbsyncstate", "FarUidValidity 1\n");
  for (const char *folder : {"Archive", "Archive/2023", "Deleted Messages", "Sent Messages"})
    maildir(dir / folder);
}

// Every entry below a directory with what it is: kind, size, modification
// time and contents of files. Equal snapshots: nothing was touched.
inline std::map<std::string, std::string> snapshot(const fs::path &dir)
{
  std::map<std::string, std::string> out;
  for (const auto &e : fs::recursive_directory_iterator(dir)) {
    struct stat st;
    lstat(e.path().c_str(), &st);
    std::string what = S_ISDIR(st.st_mode) ? "dir" : S_ISLNK(st.st_mode) ? "link" : "file";
    what += " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
            std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode)) {
      std::ifstream in(e.path(), std::ios::binary);
      what += " " + std::string(std::istreambuf_iterator<char>(in), {});
    }
    out[fs::relative(e.path(), dir).string()] = what;
  }
  return out;
}

} // namespace layouts
