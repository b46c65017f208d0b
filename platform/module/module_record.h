// What a module handle points at. Shared by platform/module (which loads and
// frees modules) and platform/resources (which keeps each module's
// resources). A handle describes itself, so a copy of these libraries linked
// into a shared object can use a handle that another copy made.
#pragma once

#include "platform/base/types.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

struct ResourceTable; // platform/resources/resource_table.h

enum class ModuleKind {
  Program,      // the running program
  SharedObject, // loaded with dlopen
  DataFile,     // a resource file, read only
};

constexpr DWORD MODULE_MAGIC = 0x4D6F644Cu; // marks a live record

struct HINSTANCE__ {
  DWORD magic = MODULE_MAGIC;           // MODULE_MAGIC while the record lives
  ModuleKind kind = ModuleKind::Program; // what the module is
  std::filesystem::path path;           // the module's file, absolute
  void *dl = nullptr;                   // dlopen handle of a shared object
  LONG references = 0;                  // LoadLibrary references held
  bool pinned = false;                  // found through the dynamic loader: never freed here
  std::mutex resourcesLock;             // guards the two fields below
  std::string dataBytes;                // a data file's bytes, until parsed
  std::shared_ptr<const ResourceTable> resources; // parsed or registered resources
};

// True for a non-null handle whose record is live.
inline bool moduleValid(HMODULE h) { return h != nullptr && h->magic == MODULE_MAGIC; }
