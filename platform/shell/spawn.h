// Starting other programs without a shell: argument vectors only.
#pragma once

#include <string>
#include <vector>

// The full path of an executable named without a slash, searched in PATH;
// a name with a slash is returned as it is when executable. Empty when none.
std::string findExecutable(const std::string &name);

// Starts argv (argv[0] a path to an executable) detached: in its own session,
// not a child of this process, standard streams on /dev/null, in directory
// dir when not empty. True when the program was started (its exec succeeded).
bool spawnDetached(const std::vector<std::string> &argv, const std::string &dir);

// Runs argv and waits for it; true when it exited with status 0.
bool spawnAndWait(const std::vector<std::string> &argv);

// A path as an argument that no program takes for an option ("-x" -> "./-x").
std::string asPathArgument(const std::string &path);
