// A module's resources as lookups see them. Today the string table; dialog
// templates and menus will sit beside it, keyed by their ids.
#pragma once

#include "platform/base/types.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

struct ResourceTable {
  std::map<UINT, std::u16string> strings; // string table: id -> text
};

// One entry of a string table compiled into a deliverable.
struct StringResource {
  UINT id;           // string id
  const WCHAR *text; // its text, terminated
};

// The resources compiled into a deliverable, as registerResources takes them.
struct CompiledResources {
  const StringResource *strings; // the string table
  std::size_t stringCount;       // its entries
};

// Parses a language resource file (the format is in docs/platform.md):
// UTF-8 lines "<id> = <text>" in a [strings] section. Never fails: lines it
// cannot read are skipped; a later line for the same id wins.
ResourceTable parseLanguageFile(std::string_view bytes);
