// Maildir file names: "unique" in new/, "unique:2,FLAGS" in cur/ (flags are
// single characters in ASCII order: D draft, F flagged, P passed, R replied,
// S seen, T trashed, lower-case letters for keywords of other programs).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A message file name split at its info separator.
struct MaildirName {
  std::string_view unique; // the part before ":" (the message's lasting name)
  std::string_view info;   // the part after ":" ("2,FS"), empty when there is none
};

// Splits a file name at its last ":". Other programs' unique names are
// taken as they come; only the ":" is special.
MaildirName splitMaildirName(std::string_view fileName);

// True for a name that may be a message: not empty and not starting with
// "." (dot files in new/ and cur/ are ignored by every Maildir reader).
bool isMessageFileName(std::string_view fileName);

// True when the info is "2," followed by flags that include `flag`.
bool hasMaildirFlag(std::string_view info, char flag);

// The info with `flag` set or cleared: "2," then the flags in ASCII order,
// each once. Info of another form ("1,...", none) is replaced by "2,"
// with the flag.
std::string withMaildirFlag(std::string_view info, char flag, bool set);

// "unique:info", or "unique:2," when the info is empty (the form of a file in cur/).
std::string curFileName(std::string_view unique, std::string_view info);

// The unique name without the ",U=<number>" that mbsync writes into it:
// the message's UID in its folder, which is wrong in any other folder
// (mbsync asks programs that move its files to drop it).
std::string withoutFolderUid(std::string_view unique);

// A new unique name: "<seconds>.M<microseconds>P<pid>Q<count>R<random>.<host>",
// with "/" and ":" in the host name written as "\057" and "\072".
std::string makeUniqueName();

// The process id in a unique name that makeUniqueName made on this host;
// nothing for any other name.
std::optional<long> uniqueNameWriter(const std::string &name);
