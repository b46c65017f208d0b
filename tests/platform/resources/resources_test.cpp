// String lookup through LoadStringW: the platform's copy semantics, compiled
// tables registered for a module, and language modules that fall back to
// the module they extend.
#include "platform/resources/resources.h"

#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

constexpr StringResource STRINGS[] = {
    {40019, u"Archive"},
    {40020, u">> DELETE <<"},
    {40021, u">> Known users <<"},
};

// Another program's table, held by a process that is not that program.
constexpr StringResource OTHER_STRINGS[] = {
    {40020, u"Delete"},
};

HMODULE loadDataFile(const std::filesystem::path &path)
{
  return LoadLibraryExW(utf8ToUtf16(path.string()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// A stand-in program: a file with compiled-in strings registered for it, and
// a language module beside it.
class Resources : public ::testing::Test {
protected:
  void SetUp() override
  {
    std::ofstream(dir.path / "Prog") << "";
    program = loadDataFile(dir.path / "Prog");
    registerResources(program, CompiledResources{STRINGS, std::size(STRINGS), nullptr, 0, nullptr, 0, nullptr, 0});
  }
  void TearDown() override { FreeLibrary(program); }
  TempDir dir;
  HMODULE program = nullptr;
};

TEST_F(Resources, CopiesAsThePlatformDoes)
{
  struct Case {
    int capacity;
    int result;
    std::u16string text;
  } cases[] = {{64, 7, u"Archive"}, {8, 7, u"Archive"}, {7, 6, u"Archiv"}, {2, 1, u"A"}, {1, 0, u""}};
  for (const auto &c : cases) {
    WCHAR buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(program, 40019, buffer, c.capacity), c.result) << c.capacity;
    EXPECT_EQ(std::u16string(buffer), c.text) << c.capacity;
  }
  WCHAR buffer[8] = {u'#'};
  EXPECT_EQ(LoadStringW(program, 40999, buffer, 8), 0);
  EXPECT_EQ(buffer[0], 0);

  // Capacity 0: a read-only pointer to the text itself, and its length.
  const WCHAR *text = nullptr;
  EXPECT_EQ(LoadStringW(program, 40020, reinterpret_cast<LPWSTR>(&text), 0), 12);
  EXPECT_EQ(std::u16string(text, 12), u">> DELETE <<");
  EXPECT_EQ(LoadStringW(nullptr, 40019, buffer, 8), 0);
}

TEST_F(Resources, LanguageModuleFallsBackToTheModuleItExtends)
{
  std::ofstream(dir.path / "Prog.407") << "40019 = Archiv\n40021 = \">> Bekannte <<\"\n";
  HMODULE language = loadDataFile(dir.path / "Prog.407");
  ASSERT_NE(language, nullptr);
  WCHAR buffer[64];
  EXPECT_EQ(LoadStringW(language, 40019, buffer, 64), 6);
  EXPECT_EQ(std::u16string(buffer), u"Archiv");
  EXPECT_EQ(LoadStringW(language, 40020, buffer, 64), 12); // missing here: the program's own
  EXPECT_EQ(std::u16string(buffer), u">> DELETE <<");
  EXPECT_EQ(LoadStringW(language, 40999, buffer, 64), 0);
  FreeLibrary(language);

  // A module that extends nothing registered has only its own strings.
  std::ofstream(dir.path / "Other.407") << "40019 = Archiv\n";
  HMODULE other = loadDataFile(dir.path / "Other.407");
  EXPECT_EQ(LoadStringW(other, 40020, buffer, 64), 0);
  FreeLibrary(other);
}

TEST_F(Resources, AFileRegisteredWithoutItsModuleIsWhatItsLanguageModulesFallBackTo)
{
  registerResourcesForFile(dir.path / "tools" / ".." / "Other",
                           CompiledResources{OTHER_STRINGS, std::size(OTHER_STRINGS), nullptr, 0, nullptr, 0, nullptr, 0});
  std::ofstream(dir.path / "Other.407") << "40019 = Archiv\n";
  HMODULE language = loadDataFile(dir.path / "Other.407");
  ASSERT_NE(language, nullptr);
  WCHAR buffer[64];
  EXPECT_EQ(LoadStringW(language, 40019, buffer, 64), 6);
  EXPECT_EQ(std::u16string(buffer), u"Archiv");
  EXPECT_EQ(LoadStringW(language, 40020, buffer, 64), 6); // missing here: the other program's
  EXPECT_EQ(std::u16string(buffer), u"Delete");
  EXPECT_EQ(LoadStringW(language, 40021, buffer, 64), 0); // never this process's own program's
  FreeLibrary(language);
}

} // namespace
