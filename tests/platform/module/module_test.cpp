// Modules: the name rule, a real shared object built beside the tests with
// its exports and entry point, data files, and module file names.
#include "platform/module/module.h"

#include "platform/text/wstr.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string events()
{
  const char *e = std::getenv("QM_PROBE_EVENTS");
  return e ? e : "";
}

std::u16string fileName(HMODULE m)
{
  WCHAR buffer[4096];
  DWORD n = GetModuleFileNameW(m, buffer, 4096);
  return std::u16string(buffer, n);
}

class Module : public ::testing::Test {
protected:
  void SetUp() override
  {
    unsetenv("QM_PROBE_EVENTS");
    unsetenv("QM_PROBE_REFUSE");
  }
};

TEST(ModuleNameRule, MapsDllNamesToSharedObjects)
{
  const std::filesystem::path here = programFolder();
  struct Case {
    std::u16string_view name;
    bool dataFile;
    std::filesystem::path expected;
  } cases[] = {
      {u"Tollbeck.dll", false, here / "Tollbeck.so"},
      {u"Tollbeck.DLL", false, here / "Tollbeck.so"},
      {u"Tollbeck", false, here / "Tollbeck.so"},
      {u"Tollbeck.so", false, here / "Tollbeck.so"},
      {u"/opt/q/Tollbeck.dll", false, "/opt/q/Tollbeck.so"},
      {u"/opt/q/../q/Tollbeck.so", false, "/opt/q/Tollbeck.so"},
      {u"Brindlewick.419", true, here / "Brindlewick.419"},
      {u"/opt/q/Tollbeck.so.40c", true, "/opt/q/Tollbeck.so.40c"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(moduleFilePath(c.name, c.dataFile), c.expected) << utf16ToUtf8(c.name);
}

TEST_F(Module, LoadsTheBuiltSharedObjectByItsDllName)
{
  HMODULE m = LoadLibraryW(u"ModuleProbe.dll");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(events(), "A");

  auto answer = reinterpret_cast<int (*)()>(GetProcAddress(m, "probeAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(reinterpret_cast<void *>(GetProcAddressW(m, u"probeAnswer")), reinterpret_cast<void *>(answer));
  EXPECT_EQ(GetProcAddress(m, "noSuchExport"), nullptr);
  auto self = reinterpret_cast<HMODULE (*)()>(GetProcAddress(m, "probeSelf"));
  EXPECT_EQ(self(), m); // the entry point was given the module's handle

  // A second load is another reference to the same module, without a new attach.
  EXPECT_EQ(LoadLibraryW(u"moduleprobe.DLL"), m);
  EXPECT_EQ(events(), "A");
  EXPECT_EQ(GetModuleHandleW(u"MODULEPROBE.dll"), m);
  EXPECT_EQ(fileName(m), utf8ToUtf16((programFolder() / "ModuleProbe.so").string()));

  // The shared object's own copy of the module library finds itself by name.
  auto ownPath = reinterpret_cast<DWORD (*)(WCHAR *, DWORD)>(GetProcAddress(m, "probeOwnPath"));
  WCHAR buffer[4096];
  DWORD n = ownPath(buffer, 4096);
  EXPECT_EQ(std::u16string(buffer, n), fileName(m));

  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(events(), "A");
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(events(), "AD");
  EXPECT_FALSE(FreeLibrary(m));
}

TEST_F(Module, RefusedAttachUnloadsAgain)
{
  setenv("QM_PROBE_REFUSE", "1", 1);
  EXPECT_EQ(LoadLibraryW(u"ModuleProbe.dll"), nullptr);
  EXPECT_EQ(events(), "AD");
  unsetenv("QM_PROBE_REFUSE");
  HMODULE m = LoadLibraryW(u"ModuleProbe.dll");
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(FreeLibrary(m));
}

TEST_F(Module, MissingModulesAndBadHandles)
{
  EXPECT_EQ(LoadLibraryW(u"NoSuchModule.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(u""), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"NoSuchModule.dll"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "probeAnswer"), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
  WCHAR buffer[8] = {};
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(buffer), buffer, 8), 0u);
}

TEST_F(Module, DataFilesAreReadNotRun)
{
  TempDir dir;
  std::filesystem::path file = dir.path / "Brindlewick.419";
  std::ofstream(file) << "40019 = Archiv\n";
  std::u16string name = utf8ToUtf16(file.string());
  HMODULE m = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), m);
  EXPECT_EQ(GetProcAddress(m, "DllMain"), nullptr);
  EXPECT_EQ(fileName(m), name);
  EXPECT_EQ(GetModuleHandleW(u"brindlewick.419"), m);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(FreeLibrary(m));

  std::u16string missing = utf8ToUtf16((dir.path / "Brindlewick.40c").string());
  EXPECT_EQ(LoadLibraryExW(missing.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
  std::u16string folder = utf8ToUtf16(dir.path.string());
  EXPECT_EQ(LoadLibraryExW(folder.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
}

TEST(ModuleProgram, TheProgramIsAModuleThatCannotBeFreed)
{
  HMODULE program = GetModuleHandleW(nullptr);
  ASSERT_NE(program, nullptr);
  std::u16string path = utf8ToUtf16(std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(fileName(program), path);
  EXPECT_EQ(fileName(nullptr), path);
  EXPECT_EQ(GetProcAddress(program, "main"), nullptr);
  EXPECT_FALSE(FreeLibrary(program));

  // A buffer too small: the path cut to size - 1 units, terminated, size returned.
  WCHAR small[5];
  EXPECT_EQ(GetModuleFileNameW(program, small, 5), 5u);
  EXPECT_EQ(std::u16string(small), path.substr(0, 4));
}

} // namespace
