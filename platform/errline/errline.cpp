#include "platform/errline/errline.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<ErrorLineSink> sinkInUse{nullptr}; // setErrorLineSink's, or null

} // namespace

void writeErrorLine(std::string line)
{
  if (line.empty() || line.back() != '\n')
    line += '\n';
  if (ErrorLineSink sink = sinkInUse.load()) {
    sink(line);
    return;
  }
  (void)std::fwrite(line.data(), 1, line.size(), stderr); // nothing to do when standard error is gone
}

void setErrorLineSink(ErrorLineSink sink) { sinkInUse.store(sink); }
