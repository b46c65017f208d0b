#include "tests/support/icalendar_reader.h"

#include "tests/support/command_run.h"

#include <cstdlib>
#include <unistd.h>

namespace {

std::filesystem::path readerScript()
{
  return std::filesystem::path(QM_TEST_SUPPORT_DIR) / "read_icalendar.py";
}

} // namespace

ICalendarReading readICalendarFiles(const std::vector<std::filesystem::path> &files)
{
  ICalendarReading reading;
  std::string python;
  if (access("/usr/bin/python3", X_OK) == 0)
    python = "/usr/bin/python3";
  else if (std::system("command -v python3 >/dev/null 2>&1") == 0)
    python = "python3";
  else
    return reading;
  reading.python = true;
  std::vector<std::string> args{readerScript().string()};
  for (const auto &f : files)
    args.push_back(f.string());
  CommandRun run = runCommand(python, args);
  reading.status = run.status;
  reading.output = std::move(run.output);
  return reading;
}

std::string pythonJson(std::u16string_view text)
{
  static const char HEX[] = "0123456789abcdef";
  std::string out = "\"";
  for (char16_t c : text) {
    switch (c) {
    case u'"': out += "\\\""; continue;
    case u'\\': out += "\\\\"; continue;
    case u'\n': out += "\\n"; continue;
    case u'\r': out += "\\r"; continue;
    case u'\t': out += "\\t"; continue;
    case u'\b': out += "\\b"; continue;
    case u'\f': out += "\\f"; continue;
    default: break;
    }
    if (c >= 0x20 && c <= 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
      out += HEX[(c >> shift) & 0xF];
  }
  return out + "\"";
}
