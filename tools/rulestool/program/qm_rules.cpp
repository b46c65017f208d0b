// qm-rules: lists, writes and explains Brindlewick's rules; see
// `qm-rules --help`.
#include "tools/rulestool/rulestool.h"

#include <iostream>

int main(int argc, char **argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  return runRulesTool(args, std::cout, std::cerr);
}
