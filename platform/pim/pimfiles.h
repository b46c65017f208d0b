// Where the contacts and calendar server keeps its data: folders below
// <root>/PIM/ laid out as vdir tools (vdirsyncer, khal, todoman, khard)
// expect them: one .ics file per appointment or task, named by its UID;
// contacts in .vcf files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

enum class PimFolder {
  Contacts, // <root>/PIM/Contacts: .vcf files, also in address-book subfolders
  Calendar, // <root>/PIM/Calendar: one VEVENT per .ics file
  Tasks,    // <root>/PIM/Tasks: one VTODO per .ics file
};

// Files above these sizes are skipped: no contact or calendar file is that
// large, and reading one whole must not exhaust memory.
constexpr std::size_t MAX_VCARD_FILE_BYTES = 64u << 20;
constexpr std::size_t MAX_ICALENDAR_FILE_BYTES = 16u << 20;

// The folder's path below the current data root.
std::filesystem::path pimFolderPath(PimFolder folder);

// The regular files in the folder (and, with subfolders, in its direct
// subfolders) whose extension matches (without regard to case), sorted by
// path. Names starting with '.' (temporary and hidden files) are left out.
// Empty when the folder does not exist.
std::vector<std::filesystem::path> listItemFiles(const std::filesystem::path &folder,
                                                 std::string_view extension, bool subfolders);

// Reads a whole file of at most maxBytes, only a regular file reached
// without a link as its last step, never blocking (readRegularFile). False
// when it cannot be read, is not such a file, or is larger.
bool readItemFile(const std::filesystem::path &path, std::size_t maxBytes, std::string *bytes);

// Replaces (or creates) a file atomically, creating its folder when needed.
bool writeItemFile(const std::filesystem::path &path, std::string_view bytes);
