// Backup files as an import reads them: the check must refuse or accept
// without reading outside the input, and what it accepts must load into
// exactly the lists it counted and export again as a backup it accepts.
#include "rules/backup.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "tests/rules/fuzz_support.h"

#include <string>
#include <string_view>

namespace {

const bool lockCreated = (createKnownUsersLock(), true);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  require(lockCreated);
  // A copy of exactly the input, so a read past it is caught.
  std::string bytes(reinterpret_cast<const char *>(data), size);
  BackupSummary summary;
  std::string reason;
  if (!checkBackup(bytes, &summary, &reason)) {
    require(!reason.empty());
    return 0;
  }
  require(size >= BACKUP_EMPTY_SIZE);
  loadBackupLists(bytes);
  require(countRules() == summary.rules);
  require(countKnownUsers() == summary.knownUsers);
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    require(textsTerminated(rule));

  std::vector<std::uint8_t> again = writtenBy([&](FILE *f) {
    std::fputc(summary.trayIcon ? 1 : 0, f);
    saveRules(f, true);
    saveKnownUsers(f, true);
  });
  BackupSummary second;
  require(checkBackup(std::string_view(reinterpret_cast<const char *>(again.data()), again.size()), &second,
                      &reason));
  require(second.rules == summary.rules && second.knownUsers == summary.knownUsers &&
          second.trayIcon == summary.trayIcon);
  clearRules();
  clearKnownUsers();
  return 0;
}
