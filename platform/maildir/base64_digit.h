// The value of one base64 digit. MIME's alphabet ends in "+/", IMAP's
// folder names write "," for "/"; the caller names its 64th digit.
#pragma once

inline int base64Digit(char c, char digit63)
{
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == digit63)
    return 63;
  return -1; // not a digit
}
