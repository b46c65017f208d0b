// The language resource module and the cached string loader, over a
// stand-in program file with the shipped string table registered for it.
#include "services/resources.h"

#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "tests/support/temp_root.h"
#include "ui/resources/program_resources.h"
#include "ui/resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace {

TEST(ResourceModulePath, SuffixIsTheLanguageInLowerCaseHex)
{
  struct Case {
    WORD language;
    std::u16string suffix;
  } cases[] = {
      {0x0422, u".419"}, {0x040C, u".40c"}, {0x0409, u".409"}, {0x0419, u".419"},
      {0x0822, u".419"}, {0x0007, u".7"},   {0x1009, u".1009"}, {0x0C0A, u".c0a"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(resourceModulePath(u"/opt/q/Brindlewick", c.language), u"/opt/q/Brindlewick" + c.suffix)
        << c.language;
}

// A stand-in program file beside which language modules are put, and a
// locale chosen per test.
class LanguageModule : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (const char *all = std::getenv("LC_ALL"))
      savedLocale = all, hadLocale = true;
    std::ofstream(dir.path / "Brindlewick") << "";
    program = LoadLibraryExW(path(u"Brindlewick").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    registerProgramResources(program);
  }
  void TearDown() override
  {
    if (resourceModule != program)
      FreeLibrary(resourceModule);
    FreeLibrary(program);
    resourceModule = nullptr;
    if (hadLocale)
      setenv("LC_ALL", savedLocale.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  std::u16string path(std::u16string_view name) { return utf8ToUtf16(dir.path.string()) + u"/" + std::u16string(name); }
  void languageFile(const char *name, const std::string &text) { std::ofstream(dir.path / name) << text; }
  std::u16string resourceFile()
  {
    WCHAR buffer[4096];
    return std::u16string(buffer, GetModuleFileNameW(resourceModule, buffer, 4096));
  }

  TempDir dir;
  HMODULE program = nullptr;
  std::string savedLocale;
  bool hadLocale = false;
};

TEST_F(LanguageModule, ChosenByTheUserInterfaceLanguage)
{
  struct Case {
    const char *locale;
    const char *file;         // the language module present, or null
    std::u16string expected;  // what resourceModule is then
  } cases[] = {
      {"uk_UA.UTF-8", "Brindlewick.419", u"Brindlewick.419"},
      {"fr_FR.UTF-8", "Brindlewick.40c", u"Brindlewick.40c"},
      {"fr_FR.UTF-8", nullptr, u"Brindlewick"},
      {"de_DE.UTF-8", "Brindlewick.40c", u"Brindlewick"}, // another language's module is not taken
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.locale);
    for (const char *stale : {"Brindlewick.419", "Brindlewick.40c"})
      std::filesystem::remove(dir.path / stale);
    if (c.file)
      languageFile(c.file, "40019 = x\n");
    setenv("LC_ALL", c.locale, 1);
    loadResourceModule(program);
    EXPECT_EQ(resourceFile(), path(c.expected));
    if (resourceModule != program)
      FreeLibrary(resourceModule);
  }
}

TEST_F(LanguageModule, StringsComeFromTheLanguageModuleThenTheProgram)
{
  languageFile("Brindlewick.419", "40019 = Архив\n");
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  loadResourceModule(program);
  const WCHAR *archive = nullptr, *deleteMark = nullptr, *missing = nullptr;
  EXPECT_EQ(std::u16string(loadString(IDS_ARCHIVE, &archive)), u"Архив");
  EXPECT_EQ(std::u16string(loadString(IDS_DELETE_MARK, &deleteMark)), u">> DELETE <<");
  EXPECT_EQ(std::u16string(loadString(40999, &missing)), u"");

  // A filled slot is kept: the text is not loaded again.
  const WCHAR *first = archive;
  resourceModule = program;
  EXPECT_EQ(loadString(IDS_ARCHIVE, &archive), first);
  const WCHAR *fresh = nullptr;
  EXPECT_EQ(std::u16string(loadString(IDS_ARCHIVE, &fresh)), u"Archive");
}

TEST_F(LanguageModule, LongStringsAreLoadedWhole)
{
  const std::size_t lengths[] = {509, 510, 511, 512, 1022, 1023, 1024, 1535, 3000};
  std::string text;
  for (std::size_t i = 0; i < std::size(lengths); ++i)
    text += std::to_string(41000 + i) + " = " + std::string(lengths[i], static_cast<char>('a' + i)) + "\n";
  languageFile("Brindlewick.409", text);
  setenv("LC_ALL", "en_US.UTF-8", 1);
  loadResourceModule(program);
  for (std::size_t i = 0; i < std::size(lengths); ++i) {
    const WCHAR *slot = nullptr;
    EXPECT_EQ(std::u16string(loadString(static_cast<UINT>(41000 + i), &slot)),
              std::u16string(lengths[i], static_cast<char16_t>(u'a' + i)))
        << lengths[i];
  }
}

TEST_F(LanguageModule, ConcurrentCallersShareOneText)
{
  unsetenv("LC_ALL");
  loadResourceModule(program);
  const WCHAR *slot = nullptr;
  std::vector<const WCHAR *> seen(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&, i] { seen[i] = loadString(IDS_KNOWN_USERS, &slot); });
  for (auto &t : threads)
    t.join();
  for (const WCHAR *text : seen)
    EXPECT_EQ(text, slot);
  EXPECT_EQ(std::u16string(slot), u">> Known users <<");
}

} // namespace
