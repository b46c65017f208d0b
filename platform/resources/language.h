// The user-interface language, from the locale.
#pragma once

#include "platform/base/types.h"

#include <string_view>

using LANGID = WORD;

// The user-interface language as a Windows language id, from the first set
// of LC_ALL, LC_MESSAGES and LANG: en_US 0x409, fr_FR 0x40C, ru_RU 0x419,
// uk_UA 0x422, de_DE 0x407 ... (table in docs/platform.md). C, POSIX, unset
// or unknown give 0x409; a known language with an unknown country gives that
// language's main id.
LANGID GetUserDefaultUILanguage();

// The language id of one locale name ("fr_FR.UTF-8", "de", "C").
LANGID languageIdOfLocale(std::string_view locale);
