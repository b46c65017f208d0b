#include "services/resources.h"

#include "platform/module/module.h"
#include "platform/resources/language.h"
#include "platform/resources/resources.h"
#include "platform/text/wstr.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

HMODULE resourceModule = nullptr;

namespace {

constexpr int STRING_BUFFER_STEP = 512; // units the load buffer starts with and grows by
constexpr LANGID PRIMARY_LANGUAGE_MASK = 0x3FF;
constexpr LANGID UKRAINIAN = 0x22;      // primary language whose resources are the Russian ones
constexpr LANGID RUSSIAN = 0x419;

// Guards filling cache slots; the texts it hands out stay until exit.
std::mutex &stringsLock()
{
  static auto *lock = new std::mutex;
  return *lock;
}

std::vector<std::unique_ptr<WCHAR[]>> &cachedTexts()
{
  static auto *texts = new std::vector<std::unique_ptr<WCHAR[]>>;
  return *texts;
}

// The full path of a module's file, however long.
std::u16string moduleFileName(HMODULE module)
{
  std::vector<WCHAR> buffer(261);
  for (;;) {
    DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size())
      return std::u16string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

} // namespace

std::u16string resourceModulePath(std::u16string_view programPath, WORD languageId)
{
  if ((languageId & PRIMARY_LANGUAGE_MASK) == UKRAINIAN)
    languageId = RUSSIAN;
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, ".%x", languageId);
  return std::u16string(programPath) + utf8ToUtf16(suffix);
}

void loadResourceModule(HMODULE programModule)
{
  resourceModule = programModule;
  std::u16string program = moduleFileName(programModule);
  if (program.empty())
    return;
  std::u16string path = resourceModulePath(program, GetUserDefaultUILanguage());
  if (HMODULE language = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    resourceModule = language;
}

const WCHAR *loadString(UINT id, const WCHAR **cacheSlot)
{
  std::atomic_ref<const WCHAR *> slot(*cacheSlot);
  if (const WCHAR *text = slot.load(std::memory_order_acquire))
    return text;
  std::lock_guard<std::mutex> guard(stringsLock());
  if (const WCHAR *text = slot.load(std::memory_order_acquire))
    return text;
  // Grow until the text leaves at least two units spare: then it was not cut.
  std::vector<WCHAR> buffer(STRING_BUFFER_STEP);
  int n;
  for (;;) {
    n = LoadStringW(resourceModule, id, buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0)
      n = 0;
    if (buffer.size() - static_cast<std::size_t>(n) >= 2)
      break;
    buffer.resize(buffer.size() + STRING_BUFFER_STEP);
  }
  auto text = std::make_unique<WCHAR[]>(static_cast<std::size_t>(n) + 1);
  wstrCopy(text.get(), static_cast<std::size_t>(n) + 1, std::u16string_view(buffer.data(), n));
  const WCHAR *result = text.get();
  cachedTexts().push_back(std::move(text));
  slot.store(result, std::memory_order_release);
  return result;
}
