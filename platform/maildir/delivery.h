// Delivering messages into the Maildir stores from outside the messaging
// interfaces (the store tool, tests), and completing downloads the way the
// provider's transport does.
#pragma once

#include "platform/maildir/maildir_folder.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where a message goes.
struct DeliveryTarget {
  std::filesystem::path mailRoot;      // <root>/Mail
  std::filesystem::path transportRoot; // <root>/Transport
  std::string store;                   // store directory name
  std::vector<std::string> folder;     // folder directory names below the store
};

// Delivers text into the folder the Maildir way (tmp/, then new/ or cur/).
// A missing store is made with its standard folders, a missing folder as a
// Maildir; names that are not plain directory names are refused.
// Header-only: the full text goes to the store's transport area first, then
// only the header section (up to and including the empty line) is
// delivered, under the same unique name, so the message shows as
// header-only until its download is completed. Returns the unique name.
std::optional<std::string> deliverToStore(const DeliveryTarget &target, std::string_view text,
                                          bool headerOnly, const DeliveryOptions &options = {});

// One download that was completed, or found waiting.
struct DownloadInfo {
  std::string store;               // store directory name
  std::vector<std::string> folder; // folder path
  std::string unique;              // the message
  bool marked = false;             // it was marked for download
};

// The header-only messages of every store below mailRoot, marked or not.
std::vector<DownloadInfo> listPendingDownloads(const std::filesystem::path &mailRoot,
                                               const std::filesystem::path &transportRoot);

// Completes downloads as the transport does: the marked ones, or with
// markedOnly false every header-only message. Returns those completed.
std::vector<DownloadInfo> completeDownloads(const std::filesystem::path &mailRoot,
                                            const std::filesystem::path &transportRoot,
                                            bool markedOnly);
