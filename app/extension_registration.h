// The extension library is registered with the mail application only while
// the program runs: start-up calls its "DllRegisterServer", the end of the
// program its "DllUnregisterServer".
#pragma once

// Loads the extension module, calls the named export when the module and the
// export exist (its result is ignored), and unloads the module. A missing
// module or export is skipped silently.
void callExtensionExport(const char *exportName);
