// The rules tool's commands and what they share. Each command takes the
// words after its name and returns the exit status (0 done, 1 failed or
// refused, 2 bad usage).
#pragma once

#include "rules/rule.h"

#include <iosfwd>
#include <string>
#include <vector>

// The store tool has commands of the same names: these live apart.
namespace rulestool {

struct ToolIo {
  std::ostream &out; // results
  std::ostream &err; // complaints and notes
};

using CommandArgs = std::vector<std::string>;

int cmdList(const CommandArgs &args, ToolIo &io);
int cmdAdd(const CommandArgs &args, ToolIo &io);
int cmdEdit(const CommandArgs &args, ToolIo &io);
int cmdEnable(const CommandArgs &args, ToolIo &io);
int cmdDisable(const CommandArgs &args, ToolIo &io);
int cmdDelete(const CommandArgs &args, ToolIo &io);
int cmdMove(const CommandArgs &args, ToolIo &io);
int cmdExport(const CommandArgs &args, ToolIo &io);
int cmdImport(const CommandArgs &args, ToolIo &io);
int cmdExplain(const CommandArgs &args, ToolIo &io);

// Prints "qm-rules: <text>" to err; returns status.
int complain(ToolIo &io, const std::string &text, int status = 1);

// Loads the rules as the program does at start: the rules file, or the
// three default rules when there is none (false then). The known users are
// loaded too.
bool loadProgramLists();

// True, after telling the user what to do, when the program runs on this
// data root: a writing command must not change files that it would
// overwrite from memory.
bool refuseWhileRunning(ToolIo &io, const std::string &command);

// The rule at 1-based position text ("3"), or null with a complaint made.
Rule *ruleAt(ToolIo &io, const std::string &text, std::size_t *position = nullptr);

} // namespace rulestool
