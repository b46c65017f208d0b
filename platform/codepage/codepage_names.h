// Which library converts a Windows code page number, and by which of its
// names. ICU is the first choice; glibc's iconv converts only the numbers that
// ICU has no converter for.
#pragma once

#include "platform/base/types.h"

#include <string>

// The library that holds a code page's converter.
enum class CodePageLibrary {
  none,  // no library here knows the number: it behaves as code page 0
  icu,   // an ICU converter (ucnv_open)
  iconv, // a glibc iconv module (iconv_open)
};

// A code page number's converter.
struct CodePageConverterName {
  CodePageLibrary library = CodePageLibrary::none; // where the converter lives
  std::string name;                                // its name in that library
};

// The converter for a Windows code page number: the project's table of
// numbers first, then ICU's own "windows-N" alias. Code page 0 is
// Windows-1252. Says nothing about whether the library can open it.
CodePageConverterName codePageConverterName(UINT codePage);
