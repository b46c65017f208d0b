// What a registry read costs, now that every read parses the hive file
// afresh: a query against the program's small hive and a large one, beside
// parsing the same text from memory (the baseline).
#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A hive with the program's settings key and `extraKeys` class keys beside it.
std::string hiveText(int extraKeys)
{
  std::string text = "Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Tarnwell\\Brindlewick]\n"
                     "\"ShowTrayIcon\"=\"TRUE\"\n\"MaxDownloadSize\"=\"500\"\n\"CP\"=dword:0000004e\n";
  for (int i = 0; i < extraKeys; ++i)
    text += "\n[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{" + std::to_string(100000 + i) +
            "}]\n@=\"Some class\"\n\"Path\"=\"/usr/lib/some/library.so\"\n";
  return text;
}

void query(benchmark::State &state)
{
  TempDir dir;
  setenv("QUILLMARSH_ROOT", dir.path.c_str(), 1);
  std::filesystem::create_directories(dir.path / "Registry");
  std::ofstream(dir.path / "Registry" / "user.reg") << hiveText(static_cast<int>(state.range(0)));
  HKEY key;
  RegOpenKeyExW(HKEY_CURRENT_USER, u"\\Software\\Tarnwell\\Brindlewick", 0, KEY_READ, &key);
  WCHAR text[1024];
  for (auto _ : state) {
    DWORD size = sizeof text;
    benchmark::DoNotOptimize(
        RegQueryValueExW(key, u"MaxDownloadSize", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size));
  }
  RegCloseKey(key);
}
BENCHMARK(query)->Arg(0)->Arg(500);

void parseOnly(benchmark::State &state)
{
  std::string text = hiveText(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(parseRegFile(text, u"HKEY_CURRENT_USER"));
}
BENCHMARK(parseOnly)->Arg(0)->Arg(500);

} // namespace
