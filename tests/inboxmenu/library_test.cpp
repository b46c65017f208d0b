// The shared library as the program and the Inbox load it: its exported
// symbols, the registry keys its registration writes and deletes, and the
// language module beside it.
#include "inboxmenu/registration.h"
#include "inboxmenu/server.h"
#include "platform/com/com.h"
#include "platform/module/module.h"
#include "platform/registry/registry.h"
#include "platform/shell/menu_extension.h"
#include "platform/text/wstr.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/inotify.h>
#include <unistd.h>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path LIBRARY = fs::path(TOLLBECK_PATH).lexically_normal();

// The names a shared object exports: defined global and weak symbols of its
// dynamic symbol table.
std::set<std::string> exportedSymbols(const fs::path &file)
{
  std::ifstream in(file, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::set<std::string> names;
  if (bytes.size() < sizeof(Elf64_Ehdr))
    return names;
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  auto section = [&](std::size_t i) {
    Elf64_Shdr s;
    std::memcpy(&s, bytes.data() + header.e_shoff + i * header.e_shentsize, sizeof s);
    return s;
  };
  for (std::size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr symbols = section(i);
    if (symbols.sh_type != SHT_DYNSYM)
      continue;
    Elf64_Shdr strings = section(symbols.sh_link);
    for (std::size_t off = 0; off + sizeof(Elf64_Sym) <= symbols.sh_size; off += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      std::memcpy(&sym, bytes.data() + symbols.sh_offset + off, sizeof sym);
      int binding = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK))
        names.insert(bytes.data() + strings.sh_offset + sym.st_name);
    }
  }
  return names;
}

template <class Function>
Function exportOf(HMODULE module, const char *name)
{
  return reinterpret_cast<Function>(GetProcAddress(module, name));
}

using RegistrationExport = HRESULT (*)();

std::u16string u16(const fs::path &p) { return utf8ToUtf16(p.string()); }

// The default value of a key, or "<missing>" when the key is not there and
// "<no value>" when it has none.
std::u16string defaultValue(HKEY root, const std::u16string &path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return u"<missing>";
  WCHAR text[600];
  DWORD bytes = sizeof text;
  DWORD type = 0;
  LONG rc = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS)
    return u"<no value>";
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(bytes % 2, 0u);
  EXPECT_EQ(text[bytes / 2 - 1], 0) << "stored with its terminator";
  return text;
}

const std::u16string SOFTKEY_CLASS = u"CLSID\\{D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}";
const std::u16string CONTEXT_CLASS = u"CLSID\\{6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}";
const std::u16string SOFTKEY_SHELL =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View\\{D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}";
const std::u16string CONTEXT_SHELL =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View_Context\\{6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}";

// The six keys' default values, in the order of the registration table.
std::vector<std::u16string> sixKeys()
{
  return {defaultValue(HKEY_CLASSES_ROOT, SOFTKEY_CLASS),
          defaultValue(HKEY_CLASSES_ROOT, SOFTKEY_CLASS + u"\\InprocServer32"),
          defaultValue(HKEY_LOCAL_MACHINE, SOFTKEY_SHELL),
          defaultValue(HKEY_CLASSES_ROOT, CONTEXT_CLASS),
          defaultValue(HKEY_CLASSES_ROOT, CONTEXT_CLASS + u"\\InprocServer32"),
          defaultValue(HKEY_LOCAL_MACHINE, CONTEXT_SHELL)};
}

// Tests that load a copy of the library do so in a child process that starts
// afresh (the "threadsafe" style re-runs the test program), so no module
// loaded by an earlier test is there.
class Library : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
};

} // namespace

TEST(TollbeckLibrary, ExportsItsFourFunctionsAndNothingElse)
{
  EXPECT_EQ(exportedSymbols(LIBRARY),
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                   "DllUnregisterServer"}));
}

TEST_F(Library, RegistrationWritesTheSixKeysAndUnregistrationDeletesThem)
{
  HMODULE module = LoadLibraryW(u16(LIBRARY).c_str());
  ASSERT_NE(module, nullptr);
  auto registerServer = exportOf<RegistrationExport>(module, "DllRegisterServer");
  auto unregisterServer = exportOf<RegistrationExport>(module, "DllUnregisterServer");

  EXPECT_EQ(registerServer(), S_OK);
  std::u16string path = u16(LIBRARY);
  EXPECT_EQ(sixKeys(), (std::vector<std::u16string>{
                           u"Inbox Softkey Menu Extension", path, u"Inbox Softkey Menu Extension",
                           u"Inbox Context Menu Extension", path, u"Inbox Context Menu Extension"}));
  // Registering again changes nothing.
  EXPECT_EQ(registerServer(), S_OK);
  EXPECT_EQ(sixKeys()[1], path);

  EXPECT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(sixKeys(), std::vector<std::u16string>(6, u"<missing>"));
  // The parents stay: they are the Inbox's and the class root's.
  EXPECT_EQ(defaultValue(HKEY_LOCAL_MACHINE, INBOX_CONTEXT_MENU_KEY), u"<no value>");

  // A second unregistration fails at the first key and deletes nothing.
  EXPECT_EQ(registerServer(), S_OK);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, (SOFTKEY_CLASS + u"\\InprocServer32").c_str()), ERROR_SUCCESS);
  EXPECT_EQ(unregisterServer(), E_FAIL);
  std::vector<std::u16string> left = sixKeys();
  EXPECT_EQ(left[0], u"Inbox Softkey Menu Extension");
  EXPECT_EQ(left[5], u"Inbox Context Menu Extension");
  FreeLibrary(module);
}

// The hives a call replaces, by name, once per replacement (the renames
// into the Registry folder that inotify reports while it runs).
std::multiset<std::string> hivesReplacedBy(const fs::path &root, HRESULT (*call)(), HRESULT *result)
{
  fs::create_directories(root / "Registry");
  int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  EXPECT_GE(inotify_add_watch(fd, (root / "Registry").c_str(), IN_MOVED_TO), 0);
  *result = call();
  std::multiset<std::string> names;
  alignas(inotify_event) char buf[8192];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    for (char *p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
      names.insert(reinterpret_cast<inotify_event *>(p)->name);
  close(fd);
  return names;
}

// The six keys and their values are written as one change per hive, in
// either direction: not twelve rewrites of two files at every start.
TEST_F(Library, RegistrationReplacesEachHiveOnce)
{
  HMODULE module = LoadLibraryW(u16(LIBRARY).c_str());
  ASSERT_NE(module, nullptr);
  HRESULT hr = E_FAIL;
  EXPECT_EQ(hivesReplacedBy(root, exportOf<RegistrationExport>(module, "DllRegisterServer"), &hr),
            (std::multiset<std::string>{"classes.reg", "machine.reg"}));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(sixKeys()[4], u16(LIBRARY));
  EXPECT_EQ(hivesReplacedBy(root, exportOf<RegistrationExport>(module, "DllUnregisterServer"), &hr),
            (std::multiset<std::string>{"classes.reg", "machine.reg"}));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(sixKeys(), std::vector<std::u16string>(6, u"<missing>"));
  FreeLibrary(module);
}

TEST_F(Library, UnderAnotherNameTheClassKeyGetsNoModulePath)
{
  // In a child process, where no module named "Tollbeck.so" was ever loaded.
  EXPECT_EXIT(
      {
        bool asExpected;
        {
          TempDir dir; // gone before the exit, which destroys nothing of this scope
          fs::copy_file(LIBRARY, dir.path / "Renamed.so");
          HMODULE module = LoadLibraryW(u16(dir.path / "Renamed.so").c_str());
          HRESULT hr = module ? exportOf<RegistrationExport>(module, "DllRegisterServer")() : S_OK;
          std::vector<std::u16string> keys = sixKeys();
          asExpected = hr == E_FAIL && keys[0] == u"Inbox Softkey Menu Extension" && keys[1] == u"<no value>" &&
                       keys[2] == u"<missing>" && keys[3] == u"<missing>";
        }
        std::exit(asExpected ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

namespace {

// In a child process: loads a copy of the library from a folder of its own
// (with the shipped Russian module beside it when withRussian), under the
// locale given, and returns which verbs InvokeCommand knows: a bit per verb
// of `verbs`.
int knownVerbs(const char *locale, bool withRussian, const std::vector<std::u16string> &verbs)
{
  TempDir dir;
  fs::copy_file(LIBRARY, dir.path / "Tollbeck.so");
  if (withRussian)
    fs::copy_file(LIBRARY.parent_path() / "Tollbeck.so.419", dir.path / "Tollbeck.so.419");
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  setenv("LANG", locale, 1);
  HMODULE module = LoadLibraryW(u16(dir.path / "Tollbeck.so").c_str());
  if (!module)
    return -1;
  auto getClassObject = exportOf<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
  void *p = nullptr;
  if (getClassObject(CLSID_InboxContextMenuExt, IID_IClassFactory, &p) != S_OK)
    return -1;
  auto *factory = static_cast<IClassFactory *>(p);
  if (factory->CreateInstance(nullptr, IID_IContextMenu, &p) != S_OK)
    return -1;
  factory->Release();
  auto *menu = static_cast<IContextMenu *>(p);
  int known = 0;
  for (std::size_t i = 0; i < verbs.size(); ++i) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = verbs[i].c_str();
    // No main window runs: a known verb is carried out as nothing, S_OK.
    if (menu->InvokeCommand(&info) == S_OK)
      known |= 1 << i;
  }
  menu->Release();
  return known;
}

const std::vector<std::u16string> VERBS = {u"Create Filter...", u"Mark as Unknown",
                                           u"Создать фильтр...", u"Отметить как незнакомого"};

} // namespace

TEST_F(Library, RussianTextsComeFromTheLanguageModuleBesideIt)
{
  EXPECT_EXIT(std::exit(knownVerbs("ru_RU.UTF-8", true, VERBS)), ::testing::ExitedWithCode(0b1100), "");
  // Ukrainian uses the Russian module.
  EXPECT_EXIT(std::exit(knownVerbs("uk_UA.UTF-8", true, VERBS)), ::testing::ExitedWithCode(0b1100), "");
  // Without it, the library's own English table.
  EXPECT_EXIT(std::exit(knownVerbs("ru_RU.UTF-8", false, VERBS)), ::testing::ExitedWithCode(0b0011), "");
  EXPECT_EXIT(std::exit(knownVerbs("en_US.UTF-8", true, VERBS)), ::testing::ExitedWithCode(0b0011), "");
}
