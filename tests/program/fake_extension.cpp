// A stand-in for the extension module whose registration exports fail on
// purpose: records each call as a line in the file named by
// QM_EXTENSION_RECORD and returns E_FAIL.
#include <cstdio>
#include <cstdlib>

namespace {

constexpr long E_FAIL_RESULT = static_cast<long>(0x80004005);

long record(const char *what)
{
  if (const char *path = std::getenv("QM_EXTENSION_RECORD")) {
    if (FILE *f = std::fopen(path, "a")) {
      std::fprintf(f, "%s\n", what);
      std::fclose(f);
    }
  }
  return E_FAIL_RESULT;
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
