#include "tests/support/command_run.h"

#include <cstdio>
#include <sys/wait.h>

std::string shellQuote(const std::string &s)
{
  std::string out = "'";
  for (char c : s)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandRun runCommand(const std::string &program, const std::vector<std::string> &args)
{
  std::string command = shellQuote(program);
  for (const std::string &a : args)
    command += " " + shellQuote(a);
  command += " 2>&1";
  CommandRun run;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return run;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.output.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
