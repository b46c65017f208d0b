// Runs another program of the build (a tool, an interpreter) as a shell
// command and keeps what it printed, for tests that drive processes.
#pragma once

#include <string>
#include <vector>

// What one run printed (standard output and error together) and its exit code.
struct CommandRun {
  int status = -1;    // the exit code; -1 when it did not end normally or could not start
  std::string output; // standard output and error
};

// The text in single quotes for the shell, quotes inside it kept.
std::string shellQuote(const std::string &s);

// Runs the program with the arguments (each quoted) and waits for it.
CommandRun runCommand(const std::string &program, const std::vector<std::string> &args);
