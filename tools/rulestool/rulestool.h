// The rules tool: lists, writes and explains the program's rules on a data
// root, through the program's own code for the rules file, the known-users
// file, the backup file, matching and the rule actions.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (without the program name), writing results to out
// and complaints to err. Returns the exit status: 0 done, 1 failed or
// refused, 2 bad usage.
int runRulesTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
