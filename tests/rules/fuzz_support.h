// Shared pieces of the rules fuzz targets: the input as a read-only FILE, a
// written block read back into memory, and checks that stop the run loudly.
#pragma once

#include "rules/rule.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// A FILE over exactly the fuzz input (no copy, so a read past it is caught).
inline FILE *openFuzzInput(const std::uint8_t *data, std::size_t size)
{
  static std::uint8_t none = 0; // a valid pointer for an empty input
  void *buffer = const_cast<std::uint8_t *>(size ? data : &none);
  return fmemopen(buffer, size, "rb");
}

// Everything the writer puts into a fresh file.
template <class Writer>
std::vector<std::uint8_t> writtenBy(Writer &&write)
{
  char *buffer = nullptr;
  std::size_t size = 0;
  FILE *f = open_memstream(&buffer, &size);
  if (!f)
    std::abort();
  write(f);
  std::fclose(f);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// Stops the run when a property of the loaded data does not hold.
inline void require(bool holds)
{
  if (!holds)
    std::abort();
}

// Every text of the rule ends within its buffer.
inline bool textsTerminated(const Rule *rule)
{
  for (const WCHAR *text : {rule->mailbox, rule->from, rule->to, rule->subject, rule->body,
                            rule->moveTo, rule->playSound, rule->execute}) {
    bool ends = false;
    for (std::size_t i = 0; i < RULE_TEXT_CHARS && !ends; ++i)
      ends = text[i] == 0;
    if (!ends)
      return false;
  }
  return true;
}
