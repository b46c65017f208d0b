// The shared object the module tests load. Its entry point notes each call
// in the environment variable QM_PROBE_EVENTS ("A" attach, "D" detach) and
// refuses to attach while QM_PROBE_REFUSE is set. It carries its own copy of
// the module library, as the extension library does.
#include "platform/module/module.h"

#include <cstdlib>
#include <string>

namespace {
HMODULE self = nullptr; // the handle the entry point was given
}

extern "C" {

BOOL DllMain(HMODULE module, DWORD reason, LPVOID)
{
  const char *old = std::getenv("QM_PROBE_EVENTS");
  std::string events = old ? old : "";
  events += reason == DLL_PROCESS_ATTACH ? 'A' : 'D';
  setenv("QM_PROBE_EVENTS", events.c_str(), 1);
  if (reason == DLL_PROCESS_ATTACH) {
    if (std::getenv("QM_PROBE_REFUSE"))
      return FALSE;
    self = module;
  }
  return TRUE;
}

int probeAnswer() { return 42; }

HMODULE probeSelf() { return self; }

// The probe's own file, as its own copy of the module library finds it.
DWORD probeOwnPath(WCHAR *buffer, DWORD size)
{
  return GetModuleFileNameW(GetModuleHandleW(u"ModuleProbe.dll"), buffer, size);
}
}
