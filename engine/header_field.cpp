#include "engine/header_field.h"

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

bool isHeaderLine(const char *line, const char *name)
{
  for (int i = 0; i < 4; ++i)
    if (!line[i] || asciiLower(line[i]) != asciiLower(name[i]))
      return false;
  return true;
}

char *headerValue(char *line)
{
  char *p = line + 4;
  while (*p && static_cast<signed char>(*p) <= 0x20)
    ++p;
  return p;
}
