// The store tool: delivers messages into the Maildir stores (in full or
// header-only), lists stores, folders and messages with the properties the
// program sees, shows one message, completes downloads, makes stores and
// folders, marks messages, and prints the stores' notifications.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (without the program name): reads messages from
// `in` where asked, writes results to `out` and complaints to `err`.
// Returns the exit status: 0 done, 1 failed, 2 bad usage.
int runStoreTool(const std::vector<std::string> &args, std::istream &in, std::ostream &out,
                 std::ostream &err);
