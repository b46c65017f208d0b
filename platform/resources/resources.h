// Resource lookup by id through one API, from a module handle: the
// program's own resources are tables compiled in and registered for its
// handle; a language resource module is a text file loaded with
// LoadLibraryExW (LOAD_LIBRARY_AS_DATAFILE). What a language module lacks is
// looked up in the compiled-in resources of the module whose file it
// extends: "Brindlewick.419" falls back to "Brindlewick", "Tollbeck.so.407"
// to "Tollbeck.so".
#pragma once

#include "platform/base/types.h"
#include "platform/resources/resource_table.h"

#include <filesystem>

// Makes `resources` the compiled-in resources of `module` (the program's
// handle, or a shared object's own handle given to its entry point). They
// also become the fallback that language modules loaded later use. The
// tables must outlive the module.
void registerResources(HMODULE module, const CompiledResources &resources);

// Makes `resources` what the language modules of `file` fall back to, with no
// module of that file loaded: for a process that speaks in another program's
// language modules (the rules tool in the program's) with that program's
// tables compiled in. The tables must outlive the process's lookups.
void registerResourcesForFile(const std::filesystem::path &file, const CompiledResources &resources);

// Copies string `id` of module into buffer of `capacity` units, cut to
// capacity - 1 units and terminated; returns the units copied without the
// terminator, 0 when the string is missing. With capacity 0, buffer is taken
// as a `const WCHAR **` that receives a read-only pointer to the text (not
// terminated) and the text's full length is returned.
int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int capacity);

// The dialog template, menu or bitmap named by MAKEINTRESOURCEW(id) in module,
// or in the compiled-in resources its language module falls back to. Null
// when there is none (or the name is a text: resources here have numbers).
// The result lives as long as the process.
const DialogTemplate *findDialogTemplate(HMODULE module, LPCWSTR name);
const MenuTemplate *findMenuTemplate(HMODULE module, LPCWSTR name);
const BitmapResource *findBitmap(HMODULE module, LPCWSTR name);
