#include "platform/resources/resources.h"

#include "platform/module/module_record.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Compiled-in resources by the file of the module they were registered for
// (or the file named without a module): where a language module's missing
// entries are looked up.
struct Registered {
  std::filesystem::path file;                  // the module's file
  std::shared_ptr<const ResourceTable> table; // its resources
};

std::mutex &registeredLock()
{
  static auto *lock = new std::mutex;
  return *lock;
}

std::vector<Registered> &registered()
{
  static auto *list = new std::vector<Registered>;
  return *list;
}

// The module's own resources; a data file is parsed on first use.
std::shared_ptr<const ResourceTable> tableOf(HMODULE module)
{
  std::lock_guard<std::mutex> guard(module->resourcesLock);
  if (!module->resources && module->kind == ModuleKind::DataFile) {
    module->resources = std::make_shared<const ResourceTable>(parseLanguageFile(module->dataBytes));
    std::string().swap(module->dataBytes);
  }
  return module->resources;
}

// The compiled-in resources of the module whose file a data file extends
// ("X.419" extends "X").
std::shared_ptr<const ResourceTable> fallbackOf(HMODULE module)
{
  if (module->kind != ModuleKind::DataFile)
    return nullptr;
  std::filesystem::path owner = module->path.parent_path() / module->path.stem();
  std::lock_guard<std::mutex> guard(registeredLock());
  for (const auto &r : registered())
    if (r.file == owner)
      return r.table;
  return nullptr;
}

const std::u16string *findString(const std::shared_ptr<const ResourceTable> &table, UINT id)
{
  if (!table)
    return nullptr;
  auto it = table->strings.find(id);
  return it == table->strings.end() ? nullptr : &it->second;
}

// An entry of one of the table's maps, in the module's own table or in the
// compiled-in one it falls back to.
template <typename T>
const T *findEntry(HMODULE module, LPCWSTR name, std::map<UINT, const T *> ResourceTable::*map)
{
  if (!moduleValid(module) || !name || !IS_INTRESOURCE(name))
    return nullptr;
  auto id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(name));
  for (const auto &table : {tableOf(module), fallbackOf(module)}) {
    if (!table)
      continue;
    auto it = (table.get()->*map).find(id);
    if (it != (table.get()->*map).end())
      return it->second;
  }
  return nullptr;
}

std::shared_ptr<const ResourceTable> tableFrom(const CompiledResources &resources)
{
  auto table = std::make_shared<ResourceTable>();
  for (std::size_t i = 0; i < resources.stringCount; ++i)
    table->strings[resources.strings[i].id] = resources.strings[i].text;
  for (std::size_t i = 0; i < resources.dialogCount; ++i)
    table->dialogs[resources.dialogs[i].id] = &resources.dialogs[i];
  for (std::size_t i = 0; i < resources.menuCount; ++i)
    table->menus[resources.menus[i].id] = &resources.menus[i];
  for (std::size_t i = 0; i < resources.bitmapCount; ++i)
    table->bitmaps[resources.bitmaps[i].id] = &resources.bitmaps[i];
  return table;
}

// Makes table the fallback of the language modules that extend file.
void rememberFor(const std::filesystem::path &file, std::shared_ptr<const ResourceTable> table)
{
  std::lock_guard<std::mutex> guard(registeredLock());
  auto &list = registered();
  auto it = std::find_if(list.begin(), list.end(), [&](const Registered &r) { return r.file == file; });
  if (it != list.end())
    it->table = std::move(table);
  else
    list.push_back(Registered{file, std::move(table)});
}

} // namespace

const DialogTemplate *findDialogTemplate(HMODULE module, LPCWSTR name)
{
  return findEntry(module, name, &ResourceTable::dialogs);
}

const MenuTemplate *findMenuTemplate(HMODULE module, LPCWSTR name)
{
  return findEntry(module, name, &ResourceTable::menus);
}

const BitmapResource *findBitmap(HMODULE module, LPCWSTR name)
{
  return findEntry(module, name, &ResourceTable::bitmaps);
}

void registerResources(HMODULE module, const CompiledResources &resources)
{
  if (!moduleValid(module))
    return;
  std::shared_ptr<const ResourceTable> table = tableFrom(resources);
  {
    std::lock_guard<std::mutex> guard(module->resourcesLock);
    module->resources = table;
  }
  rememberFor(module->path, table);
}

void registerResourcesForFile(const std::filesystem::path &file, const CompiledResources &resources)
{
  rememberFor(file.lexically_normal(), tableFrom(resources));
}

int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int capacity)
{
  if (!moduleValid(module) || !buffer || capacity < 0)
    return 0;
  // Tables live as long as their module (compiled ones until exit), so the
  // text may be used after the shared pointers are dropped.
  std::shared_ptr<const ResourceTable> own = tableOf(module);
  const std::u16string *text = findString(own, id);
  std::shared_ptr<const ResourceTable> fallback;
  if (!text) {
    fallback = fallbackOf(module);
    text = findString(fallback, id);
  }
  if (capacity == 0) {
    *reinterpret_cast<const WCHAR **>(buffer) = text ? text->data() : nullptr;
    return text ? static_cast<int>(text->size()) : 0;
  }
  if (!text) {
    buffer[0] = 0;
    return 0;
  }
  std::size_t n = std::min(text->size(), static_cast<std::size_t>(capacity) - 1);
  std::memcpy(buffer, text->data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  return static_cast<int>(n);
}
