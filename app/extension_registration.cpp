#include "app/extension_registration.h"

#include "app/program_state.h"
#include "platform/module/module.h"

void callExtensionExport(const char *exportName)
{
  HMODULE module = LoadLibraryW(EXTENSION_MODULE);
  if (!module)
    return;
  using RegistrationExport = HRESULT (*)();
  if (FARPROC proc = GetProcAddress(module, exportName))
    (void)reinterpret_cast<RegistrationExport>(proc)(); // the result does not change what follows
  FreeLibrary(module);
}
