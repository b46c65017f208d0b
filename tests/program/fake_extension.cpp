// A stand-in for the extension module: records each registration call as a
// line in the file named by QM_EXTENSION_RECORD.
#include <cstdio>
#include <cstdlib>

namespace {

long record(const char *what)
{
  if (const char *path = std::getenv("QM_EXTENSION_RECORD")) {
    if (FILE *f = std::fopen(path, "a")) {
      std::fprintf(f, "%s\n", what);
      std::fclose(f);
    }
  }
  return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) long DllRegisterServer()
{
  return record("DllRegisterServer");
}

extern "C" __attribute__((visibility("default"))) long DllUnregisterServer()
{
  return record("DllUnregisterServer");
}
