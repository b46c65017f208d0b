// Helpers for the program's UTF-16 text (WCHAR is char16_t; wchar_t is never
// used for stored or exchanged text). Terminated strings as the handheld's
// C library handles them, plus conversion to and from UTF-8 for Linux paths.
#pragma once

#include "platform/base/types.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// Units before the terminator.
std::size_t wstrLen(const WCHAR *s);

// Copies src into dst of `capacity` units, cutting it to capacity - 1 units and
// always terminating (capacity 0 writes nothing). Returns the units copied.
std::size_t wstrCopy(WCHAR *dst, std::size_t capacity, const WCHAR *src);
std::size_t wstrCopy(WCHAR *dst, std::size_t capacity, std::u16string_view src);

// Appends src to the terminated text in dst, cut to the capacity.
std::size_t wstrAppend(WCHAR *dst, std::size_t capacity, const WCHAR *src);

// Compare unit by unit: <0, 0, >0.
int wstrCmp(const WCHAR *a, const WCHAR *b);

// Lower case of one unit: ICU's simple lower-case mapping; surrogates and
// units whose lower case lies outside the BMP stay as they are.
WCHAR toLowerUnit(WCHAR c);

// Lower-cases a terminated text in place, unit by unit.
void wstrLowerInPlace(WCHAR *s);

// Case-insensitive compare over whole strings, by toLowerUnit.
int wstrICmp(const WCHAR *a, const WCHAR *b);
int wstrICmp(std::u16string_view a, std::u16string_view b);

// First occurrence of needle in hay (an empty needle is found at hay), or null.
const WCHAR *wstrFind(const WCHAR *hay, const WCHAR *needle);

// UTF-8 <-> UTF-16; malformed input becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);

// One argument of the string table's printf-style texts: %s takes a text,
// %d an integer; %% is a percent sign.
struct FormatArg {
  FormatArg(int v) : number(v) {}
  FormatArg(const WCHAR *v) : text(v ? v : u"") {}
  const WCHAR *text = nullptr; // the text for %s, null for a number
  int number = 0;              // the number for %d
};

// Formats a string-table text. Arguments are consumed in order; a directive
// without an argument, or of the other kind, is left as it stands.
std::u16string wformat(const WCHAR *fmt, std::initializer_list<FormatArg> args);
