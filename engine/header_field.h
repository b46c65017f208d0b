// Recognising the "To: " and "CC: " lines of a message's transport headers and
// finding where their values start.
#pragma once

// The four bytes every recipient header line starts with.
inline constexpr const char TO_HEADER[] = "To: ";
inline constexpr const char CC_HEADER[] = "CC: ";

// True when line (terminated) starts with the four bytes of name ("To: " or
// "CC: "), ASCII letters compared without regard to case ("cc: ", "Cc: " and
// "TO: " count; "To:" without its blank does not).
bool isHeaderLine(const char *line, const char *name);

// The value of a header line whose four-byte name was recognised: the bytes
// after the name, past every byte of signed value 0x20 or less (blanks,
// control bytes and, as signed bytes, everything from 0x80 on), stopping at
// the terminator.
char *headerValue(char *line);
