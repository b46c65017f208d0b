// MIME charset names and the Windows code pages that convert them.
#pragma once

#include <cstdint>

// One row: a charset name in lower-case ASCII and its Windows code page.
struct CharsetRow {
  const char *name;      // MIME charset name, lower case
  std::int32_t codePage; // Windows code page number
};

// Rows of CharsetTable.
constexpr int CHARSET_TABLE_ROWS = 119;

// The charset names the program knows, searched first to last.
extern const CharsetRow CharsetTable[CHARSET_TABLE_ROWS];

// The code page of the first row whose name equals name (a terminated 8-bit
// text), comparing ASCII letters without regard to case; 0 (the device's
// ANSI code page) for an unknown name or null.
std::int32_t charsetToCodePage(const char *name);
