// Runs the rules tool and the store tool as a person runs them, on a
// temporary data root.
#pragma once

#include "tests/support/temp_root.h"
#include "tools/rulestool/rulestool.h"
#include "tools/storetool/storetool.h"

#include <sstream>
#include <string>
#include <vector>

// What one run printed.
struct ToolRun {
  int status;      // exit status
  std::string out; // standard output
  std::string err; // standard error
};

class RulesToolTest : public TempRootTest {
protected:
  ToolRun rules(const std::vector<std::string> &args)
  {
    std::ostringstream out, err;
    int status = runRulesTool(args, out, err);
    return {status, out.str(), err.str()};
  }

  ToolRun store(const std::vector<std::string> &args, const std::string &input = {})
  {
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = runStoreTool(args, in, out, err);
    return {status, out.str(), err.str()};
  }

  std::vector<unsigned char> rulesFile() const { return readFile("Application Data/Brindlewick/Brindlewick.dat"); }
};
