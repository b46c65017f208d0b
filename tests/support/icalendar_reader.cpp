#include "tests/support/icalendar_reader.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string shellQuote(const std::string &s)
{
  std::string out = "'";
  for (char c : s)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

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
  std::string command = python + " " + shellQuote(readerScript().string());
  for (const auto &f : files)
    command += " " + shellQuote(f.string());
  command += " 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return reading;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    reading.output.append(buffer, n);
  int status = pclose(pipe);
  reading.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
