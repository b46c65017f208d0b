// Bytes in a MIME character set, named as mail names it ("utf-8",
// "ISO-8859-1", "koi8-r"), to UTF-16. Message headers carry such names in
// encoded words and Content-Type parameters; they are looked up by name in
// ICU, which knows the IANA names and their aliases.
#pragma once

#include <string>
#include <string_view>

// Appends the bytes, converted from the named charset, to out. Bytes that
// have no mapping become U+FFFD. Text labelled "iso-8859-1" or "us-ascii" is
// read as Windows-1252, which is what such mail holds in practice. Returns
// false, appending nothing, when the name is not a charset that can be
// converted.
bool appendCharsetText(std::string_view charset, std::string_view bytes, std::u16string &out);

// True when the bytes are well-formed UTF-8 (ASCII included).
bool isValidUtf8(std::string_view bytes);

// Text of unknown charset, as found raw in headers: UTF-8 when it is
// well-formed UTF-8, else the fallback charset when it can be converted,
// else Windows-1252.
void appendUnlabelledText(std::string_view bytes, std::string_view fallbackCharset,
                          std::u16string &out);
