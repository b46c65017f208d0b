// The iCalendar files the program writes, read by the distribution's own
// iCalendar package (python3-icalendar) through tests/support/read_icalendar.py.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What a reader run gave.
struct ICalendarReading {
  bool python = false; // a Python 3 interpreter was found
  int status = -1;     // the reader's exit code (3: the package is missing)
  std::string output;  // its standard output and error
};

// Reads the files with the distribution's Python 3 (/usr/bin/python3, which
// the Debian package serves; else python3 on the path).
ICalendarReading readICalendarFiles(const std::vector<std::filesystem::path> &files);

// A text as Python's json.dumps writes it with ASCII output: quoted, with
// \" \\ \n \r \t \b \f, other control characters and everything beyond
// ASCII as \uXXXX (lower-case hex, UTF-16 units).
std::string pythonJson(std::u16string_view text);
