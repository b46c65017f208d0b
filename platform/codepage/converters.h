// The converters behind the code page calls: ICU converters chosen by
// Windows code page number.
#pragma once

#include "platform/base/types.h"

#include <string>
#include <string_view>

// Bytes of a code page to UTF-16. Bytes that have no mapping become U+FFFD;
// an unsupported number converts as code page 0.
std::u16string decodeBytes(UINT codePage, std::string_view bytes);

// UTF-16 to a code page; unmappable characters become `substitute`.
std::string encodeText(UINT codePage, std::u16string_view text, char substitute, bool *usedSubstitute);
