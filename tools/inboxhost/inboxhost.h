// The Inbox host: a small mail program that shows the Inbox messages of
// every store and the menus its extensions build for them. Its command-line
// mode prints one menu or chooses one item, for scripts and tests.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (without the program name). The messaging library
// and COM must be set up on the calling thread. Writes results to `out` and
// complaints to `err`; returns the exit status: 0 done, 1 failed, 2 bad usage.
int runInboxHost(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
