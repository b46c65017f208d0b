// A message's text as UTF-16, taken from its Internet text: the code page
// comes from the charset of the "Content-Type:" header.
#pragma once

#include "platform/com/stream.h"

#include <cstdint>
#include <string>

// What the header lines read so far say about the text's charset.
struct ContentTypeCharset {
  bool inContentType = false; // the last line was "Content-Type:" or a continuation of it
  std::int32_t codePage = 0;  // code page of the last charset found; 0 (ANSI) without one
};

// Takes one header line (terminated, without its line break) into account.
// A line that begins with "Content-Type:" (any case), and a line that begins
// with a tab or a space right after such a line or its continuation, is
// searched at every position for "charset=" (any case); each find sets the
// code page from charsetToCodePage, so the last find wins. The value runs
// from behind a single or double quote up to the next equal quote (or the
// line's end), or, unquoted, up to the next ";", blank or the line's end.
// Any other line ends the continuation.
void scanContentTypeLine(ContentTypeCharset *state, const char *line);

// Reads the stream with readHeaderLine (window and line of 1024 bytes): the
// header lines up to the first empty line give the code page, and every line
// after it, followed by CR LF, is converted with that code page and appended
// to *text. Reading ends where readHeaderLine returns false. An exception
// raised by the stream passes through with *text holding every line read
// before it, so a caller that catches it keeps the text read so far.
void readMessageText(IStream *stream, std::u16string *text);
