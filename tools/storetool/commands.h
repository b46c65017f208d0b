// The store tool's commands. Each takes the words after its name and
// returns the exit status (0 done, 1 failed, 2 bad usage).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Where a command reads and writes.
struct ToolIo {
  std::istream &in;  // messages to deliver
  std::ostream &out; // results
  std::ostream &err; // complaints
};

using CommandArgs = std::vector<std::string>;

int cmdStores(const CommandArgs &args, ToolIo &io);
int cmdFolders(const CommandArgs &args, ToolIo &io);
int cmdList(const CommandArgs &args, ToolIo &io);
int cmdShow(const CommandArgs &args, ToolIo &io);
int cmdPending(const CommandArgs &args, ToolIo &io);
int cmdWatch(const CommandArgs &args, ToolIo &io);
int cmdDeliver(const CommandArgs &args, ToolIo &io);
int cmdComplete(const CommandArgs &args, ToolIo &io);
int cmdMark(const CommandArgs &args, ToolIo &io);
int cmdMkstore(const CommandArgs &args, ToolIo &io);
int cmdMkfolder(const CommandArgs &args, ToolIo &io);
int cmdCommand(const CommandArgs &args, ToolIo &io);

// Prints "qm-store: <text>" to err; returns `status`.
int complain(ToolIo &io, const std::string &text, int status = 1);
