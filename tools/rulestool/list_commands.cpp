// The rules tool's commands that change nothing: list and export.
#include "tools/rulestool/commands.h"

#include "platform/text/wstr.h"
#include "rules/backup.h"
#include "rules/describe.h"
#include "rules/known_users.h"
#include "rules/rule_list.h"

#include <ostream>

namespace rulestool {

int cmdList(const CommandArgs &args, ToolIo &io)
{
  if (!args.empty())
    return complain(io, "list takes no arguments", 2);
  if (!loadProgramLists())
    io.err << "qm-rules: no rules file yet: these are the default rules the program starts with\n";
  std::size_t n = 0;
  for (const Rule *rule = ruleList; rule; rule = rule->next) {
    io.out << ++n << (rule->enabled ? " [x] " : " [ ] ") << utf16ToUtf8(describeRule(rule));
    if (rule->mailbox[0])
      io.out << "  (mailbox " << utf16ToUtf8(rule->mailbox) << ")";
    io.out << "\n";
  }
  if (n == 0)
    io.err << "qm-rules: there are no rules (qm-rules add makes one)\n";
  return 0;
}

int cmdExport(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 1 || args[0].empty())
    return complain(io, "export takes one FILE", 2);
  loadProgramLists();
  std::string reason;
  if (!exportBackup(args[0], &reason))
    return complain(io, "export: " + reason);
  io.out << "exported " << countRules() << " rules and " << countKnownUsers() << " known senders to " << args[0]
         << "\n";
  return 0;
}

} // namespace rulestool
