// The rules tool's commands that write the rules file: add, edit, enable,
// disable, delete, move, and import (which writes the known-users file too).
#include "tools/rulestool/commands.h"

#include "rules/backup.h"
#include "rules/known_users.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "tools/rulestool/rule_options.h"

#include <ostream>

namespace rulestool {

namespace {

// Loads the lists for a change; false (with the complaint made) when the
// program runs on this root.
bool beginChange(ToolIo &io, const std::string &command)
{
  if (refuseWhileRunning(io, command))
    return false;
  loadProgramLists();
  return true;
}

// Writes the changed rule list; 0, or 1 with a complaint.
int saveChange(ToolIo &io, const std::string &done)
{
  rulesDirty = 1;
  if (!saveRulesFile(false))
    return complain(io, "cannot write the rules file; nothing was changed");
  io.out << done << "\n";
  return 0;
}

bool hasCondition(const Rule *rule)
{
  return rule->from[0] || rule->to[0] || rule->subject[0] || rule->sizeLimit != 0 || rule->olderThan != 0 ||
         rule->isRead || rule->hasAttach;
}

// Notes on a rule that can never act, so the user is not left wondering.
void warnAbout(ToolIo &io, const Rule *rule)
{
  if (!hasCondition(rule))
    io.err << "qm-rules: note: this rule has no condition, so it never wins a message\n";
  if (rule->body[0])
    io.err << "qm-rules: note: this rule has a body condition, so it never matches\n";
}

int setEnabled(const CommandArgs &args, ToolIo &io, const std::string &command, BYTE enabled)
{
  if (args.size() != 1)
    return complain(io, command + " takes one rule number", 2);
  if (!beginChange(io, command))
    return 1;
  std::size_t n = 0;
  Rule *rule = ruleAt(io, args[0], &n);
  if (!rule)
    return 2;
  rule->enabled = enabled;
  return saveChange(io, "rule " + std::to_string(n) + (enabled ? " enabled" : " disabled"));
}

} // namespace

int cmdAdd(const CommandArgs &args, ToolIo &io)
{
  Rule *rule = newRule();
  rule->enabled = 1;
  std::string error;
  if (!applyRuleOptions(args, 0, rule, &error)) {
    freeRule(rule);
    return complain(io, "add: " + error, 2);
  }
  if (!beginChange(io, "add")) {
    freeRule(rule);
    return 1;
  }
  appendRule(rule);
  warnAbout(io, rule);
  return saveChange(io, "added rule " + std::to_string(countRules()));
}

int cmdEdit(const CommandArgs &args, ToolIo &io)
{
  if (args.empty())
    return complain(io, "edit takes a rule number and the options to change", 2);
  if (args.size() == 1)
    return complain(io, "edit " + args[0] + ": nothing to change (qm-rules --help lists the options)", 2);
  if (!beginChange(io, "edit"))
    return 1;
  std::size_t n = 0;
  Rule *rule = ruleAt(io, args[0], &n);
  if (!rule)
    return 2;
  std::string error;
  if (!applyRuleOptions(args, 1, rule, &error))
    return complain(io, "edit: " + error, 2);
  warnAbout(io, rule);
  return saveChange(io, "changed rule " + std::to_string(n));
}

int cmdEnable(const CommandArgs &args, ToolIo &io) { return setEnabled(args, io, "enable", 1); }

int cmdDisable(const CommandArgs &args, ToolIo &io) { return setEnabled(args, io, "disable", 0); }

int cmdDelete(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 1)
    return complain(io, "delete takes one rule number", 2);
  if (!beginChange(io, "delete"))
    return 1;
  std::size_t n = 0;
  Rule *rule = ruleAt(io, args[0], &n);
  if (!rule)
    return 2;
  removeRule(rule);
  return saveChange(io, "deleted rule " + std::to_string(n));
}

int cmdMove(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 2)
    return complain(io, "move takes two rule numbers: the rule and its new place", 2);
  if (!beginChange(io, "move"))
    return 1;
  std::size_t from = 0, to = 0;
  Rule *rule = ruleAt(io, args[0], &from);
  if (!rule || !ruleAt(io, args[1], &to))
    return 2;
  moveRule(rule, to - 1);
  return saveChange(io, "moved rule " + std::to_string(from) + " to " + std::to_string(to));
}

int cmdImport(const CommandArgs &args, ToolIo &io)
{
  if (args.size() != 1 || args[0].empty())
    return complain(io, "import takes one FILE", 2);
  if (!beginChange(io, "import"))
    return 1;
  BackupSummary summary;
  std::string reason;
  if (!importBackup(args[0], &summary, &reason))
    return complain(io, "import: " + reason);
  io.out << "imported " << summary.rules << " rules and " << summary.knownUsers << " known senders; tray icon "
         << (summary.trayIcon ? "shown" : "hidden") << "\n";
  return 0;
}

} // namespace rulestool
