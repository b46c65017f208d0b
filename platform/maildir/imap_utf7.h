// IMAP's modified UTF-7 (RFC 3501, 5.1.3), in which IMAP servers and the
// tools that sync with them write folder names on disk: printable ASCII
// stands for itself ("&" is "&-"), everything else is UTF-16 in a base64
// variant between "&" and "-".
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The modified UTF-7 form of a name.
std::string encodeImapUtf7(std::u16string_view name);

// The name a modified UTF-7 text stands for; nothing when the text is not
// in that form (raw bytes outside printable ASCII, a shift left open, bad
// base64 or padding, printable ASCII or broken UTF-16 inside a shift, two
// shifts in a row): each name has one spelling.
std::optional<std::u16string> decodeImapUtf7(std::string_view text);
