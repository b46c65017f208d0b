// Decoding of Internet header values: RFC 2047 encoded words in the "B" and
// "Q" encodings, in any charset of the charset table, to UTF-16. Lenient:
// malformed input degrades to readable text and never fails.
#pragma once

#include "platform/base/types.h"

#include <cstddef>

// Decodes "B" (base64) text into out, a buffer of capacity bytes: every
// character maps to its 6-bit value ("=" and every character outside the
// alphabet to 0, blanks and control bytes are skipped), each group of four
// gives three bytes, and the trailing zero bytes of the result are dropped. A last group of two or three
// characters gives the one or two bytes whose bits it holds completely; a
// single last character gives nothing. The result is cut to capacity - 1
// bytes and terminated (capacity 0 writes nothing). Returns the bytes kept.
std::size_t decodeBase64(const char *text, char *out, std::size_t capacity);

// Decodes "Q" (quoted-printable) text into out, a buffer of capacity bytes:
// "=" and two hex digits give that byte, "_" a space, bytes up to 0x20 and
// from 0x80 are skipped, others are copied. An "=" with fewer than two
// characters after it ends the text; an "=" not followed by two hex digits is
// copied as it stands. The result is cut to capacity - 1 bytes and
// terminated (capacity 0 writes nothing). Returns the bytes kept.
std::size_t decodeQuotedPrintable(const char *text, char *out, std::size_t capacity);

// Decodes the header value (terminated, changed in place: the delimiters of
// each encoded word are overwritten with terminators) into out, a buffer of
// capacity UTF-16 units, terminated. Text outside encoded words converts
// from code page 0 and is kept as it stands, also the blanks between two
// encoded words; an encoded word converts from its charset's code page (0
// for an unknown charset); an encoding letter other than "B" or "Q" leaves
// the encoded text as it is. A malformed word ("=?" without its "?", "?" and
// "?=") ends the decoding: the rest converts as plain text. A value longer
// than the buffer is cut after its last whole character that fits, and
// nothing after the cut is written. Capacity 0 writes nothing.
void decodeHeaderText(char *value, WCHAR *out, std::size_t capacity);
