// The resources compiled into the deliverables: the program's own table and
// the extension library's own table. Each is registered for its module's
// handle, where resource lookups (LoadStringW) find it when a language
// module lacks an entry.
#pragma once

#include "platform/base/types.h"

#include <filesystem>

// Registers the program's resources for programModule (the program's own
// module handle, GetModuleHandleW(nullptr)). Call before loadResourceModule.
void registerProgramResources(HMODULE programModule);

// Registers the program's resources as what the language modules of
// programFile (the program's file, in another process) fall back to: the
// rules tool speaks in the program's language modules.
void registerProgramResourcesFor(const std::filesystem::path &programFile);

// Registers the extension library's resources for its own module handle (the
// handle its entry point is given on process attach).
void registerExtensionResources(HMODULE libraryModule);
