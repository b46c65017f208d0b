// Header text to UTF-16: RFC 2047 encoded words ("=?charset?B?...?=" and
// "=?charset?Q?...?=") decoded by their charset, raw 8-bit text taken as
// UTF-8 when it is well-formed, else in the message's own charset.
#pragma once

#include <string>
#include <string_view>

// Decodes an unfolded header value. Whitespace between two adjacent encoded
// words is dropped (RFC 2047 6.2); adjacent words of one charset are joined
// before conversion, so a character split between them survives. Lenient:
// an encoded word with an unknown charset is taken as unlabelled bytes, a
// malformed one stays as written; the encoding letter may be in either case
// and an RFC 2231 language ("utf-8*en") is ignored. Line breaks, tabs and
// NULs that decoding produces become a blank or U+FFFD, so the result is a
// one-line text. fallbackCharset is the charset of raw 8-bit bytes that are
// not UTF-8 (the message's Content-Type charset; empty for Windows-1252).
std::u16string decodeHeaderValue(std::string_view value, std::string_view fallbackCharset = {});

// The bytes of RFC 2047 "B" text (base64, lenient: other characters are
// skipped, decoding stops at "=").
std::string decodeBEncoding(std::string_view text);

// The bytes of RFC 2047 "Q" text: "_" is a blank, "=XX" a hex byte; an "="
// not followed by two hex digits stays as written.
std::string decodeQEncoding(std::string_view text);
