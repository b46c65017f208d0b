// Tollbeck: the Inbox menu extension, an in-process server that the Inbox
// loads through the keys its registration writes. Its exports are the four
// below; its entry point runs when the shared object is loaded.
#include "inboxmenu/command_texts.h"
#include "inboxmenu/registration.h"
#include "inboxmenu/server.h"
#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "ui/resources/program_resources.h"

#include <dlfcn.h>
#include <new>

namespace {

// The library's entry point. On process attach: its own string table for
// its handle, then its language module and the command texts. Every reason
// succeeds; detaching leaves the clean-up to the runtime.
BOOL DllMain(HMODULE module, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH && module) {
    registerExtensionResources(module);
    loadCommandTexts(module);
  }
  return TRUE;
}

// This shared object's handle, as this copy of the module library knows it.
HMODULE ownModule()
{
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void *>(&ownModule), &info) || !info.dli_fname)
    return nullptr;
  return GetModuleHandleW(utf8ToUtf16(info.dli_fname).c_str());
}

// An exported entry point would be a fifth export: the dynamic loader calls
// this when the object is loaded, as the handheld calls the entry point.
__attribute__((constructor)) void attach() { (void)DllMain(ownModule(), DLL_PROCESS_ATTACH, nullptr); }

// Exceptions never leave the library.
template <class Call>
HRESULT guarded(Call call)
{
  try {
    return call();
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

} // namespace

extern "C" HRESULT DllCanUnloadNow() { return canUnloadNow(); }

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
  return guarded([&] { return getClassObject(rclsid, riid, ppv); });
}

extern "C" HRESULT DllRegisterServer() { return guarded(registerServer); }

extern "C" HRESULT DllUnregisterServer() { return guarded(unregisterServer); }
