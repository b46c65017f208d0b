// Reads a message's Internet text line by line from a stream, through a
// window of n bytes that the caller keeps for the life of the stream.
#pragma once

#include "platform/com/stream.h"

#include <cstddef>

// Bytes the engine's window and line buffer hold.
constexpr std::size_t HEADER_WINDOW_BYTES = 1024;

// Returns the next line, without its line break, terminated in line (n
// bytes). window (n bytes) holds the bytes read but not yet returned, from
// its start up to *end (initially window itself). A line break is CR, LF,
// CR LF or LF CR; CR CR and LF LF end two lines. A break is taken only when
// the byte after it has been read, so a break that is the stream's very last
// byte ends nothing. The stream is read at most 128 bytes at a time. False
// at the end of the stream, on a read error, when a line does not fit in the
// window, or for bad arguments (n 0, a null pointer, *end outside window).
bool readHeaderLine(IStream *stream, char *window, char **end, char *line, std::size_t n);
