// qm-store: looks into the Maildir message stores and changes them the way
// a mail server and a mail program would; see `qm-store --help`.
#include "tools/storetool/storetool.h"

#include <iostream>

int main(int argc, char **argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  return runStoreTool(args, std::cin, std::cout, std::cerr);
}
