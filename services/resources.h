// The language resource module and the cached string loader: where every
// dialog, menu and string of the program (or of the extension library, in its
// own copy) comes from.
#pragma once

#include "platform/base/types.h"

#include <string>
#include <string_view>

// Where dialogs, menus and strings are loaded from: the language resource
// module when it could be loaded, else the program's own module. Null until
// loadResourceModule has run.
extern HMODULE resourceModule;

// Chooses resourceModule for the module whose file is programModule's: loads
// "<its path>.<user-interface language in lower-case hex, no leading zeros>"
// (e.g. ".409") as a data file. A language whose primary language (low 10
// bits) is 0x22 uses 0x419 instead. When that module cannot be loaded,
// resourceModule is programModule itself. Call once, before any resource is
// read.
void loadResourceModule(HMODULE programModule);

// The file name loadResourceModule looks for: programPath + "." + the
// language id (after the 0x22 mapping) in lower-case hex.
std::u16string resourceModulePath(std::u16string_view programPath, WORD languageId);

// The text of string `id` from resourceModule. When *cacheSlot already holds
// a text, returns it; otherwise loads the string, stores it in *cacheSlot and
// returns it. A missing string gives an empty text, never null. Each use site
// keeps its own slot (a static `const WCHAR *`, start value null); cached
// texts live until exit. Safe to call from several threads at once.
const WCHAR *loadString(UINT id, const WCHAR **cacheSlot);
