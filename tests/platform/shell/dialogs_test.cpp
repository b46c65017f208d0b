// Message boxes and file dialogs as screens of the test display.
#include "platform/shell/commdlg.h"
#include "platform/shell/msgbox.h"
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

class ShellDialogs : public ::testing::Test {
protected:
  void SetUp() override { setDisplay(testDisplay()); }
  void TearDown() override
  {
    EXPECT_EQ(testDisplayUnscripted(), 0);
    setDisplay(headlessDisplay());
  }
  static void key(WPARAM vk) { displayKey(vk, false); }
  static void type(const std::u16string &s)
  {
    for (char16_t c : s)
      displayChar(c);
  }
  static bool screenHas(const std::string &text)
  {
    for (const std::string &line : testDisplayScreen())
      if (line.find(text) != std::string::npos)
        return true;
    return false;
  }
};

TEST_F(ShellDialogs, MessageBoxShowsItsTextAndAnswersWithTheButtonChosen)
{
  testDisplayScript({[](HWND) {
                       EXPECT_TRUE(screenHas("Rules")) << "caption";
                       EXPECT_TRUE(screenHas("Replace the rules?"));
                       EXPECT_TRUE(screenHas("[Yes]"));
                       key(VK_TAB); // from Yes to No
                     },
                     [](HWND) { key(VK_RETURN); }});
  EXPECT_EQ(MessageBoxW(nullptr, u"Replace the rules?", u"Rules", MB_YESNO), IDNO);

  testDisplayScript({[](HWND) { key(VK_ESCAPE); }});
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", nullptr, MB_OKCANCEL), IDCANCEL) << "Escape is Cancel";

  setDisplay(headlessDisplay());
  EXPECT_EQ(MessageBoxW(nullptr, u"headless", nullptr, MB_OKCANCEL), IDOK) << "standard error, first button";
}

TEST_F(ShellDialogs, FileOpenListsTheFilterAndRefusesAMissingFile)
{
  TempDir dir;
  std::ofstream(dir.path / "ring.wav") << "x";
  std::ofstream(dir.path / "notes.txt") << "x";
  std::filesystem::create_directory(dir.path / "sub");
  std::ofstream(dir.path / "sub" / "deep.WAV") << "x";

  WCHAR file[260] = {};
  std::u16string folder = utf8ToUtf16(dir.path.string());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = u"WAV (*.wav)\0*.wav\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = 260;
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = u"Open sound";
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;

  testDisplayScript({[](HWND) {
                       EXPECT_TRUE(screenHas("Open sound"));
                       EXPECT_TRUE(screenHas("sub/"));
                       EXPECT_TRUE(screenHas("ring.wav"));
                       EXPECT_FALSE(screenHas("notes.txt")) << "the filter hides it";
                       key(VK_DOWN); // the list has the focus: ".."
                     },
                     [](HWND) { key(VK_DOWN); }, // "sub/"
                     [](HWND) { key(VK_RETURN); },
                     [](HWND) {
                       EXPECT_TRUE(screenHas("deep.WAV")) << "patterns ignore case";
                       key(VK_TAB); // the name field
                     },
                     [](HWND) { type(u"missing.wav"); },
                     [](HWND) { key(VK_RETURN); }, // Enter in the field is OK: a missing file is refused
                     [](HWND) {
                       EXPECT_TRUE(screenHas("File not found."));
                       key(VK_RETURN);
                     },
                     [](HWND) {
                       EXPECT_TRUE(screenHas("missing.wav")) << "the name is kept";
                       key(VK_ESCAPE);
                     }});
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u) << "a cancel";

  testDisplayScript({[](HWND) { key(VK_END); }, [](HWND) { key(VK_RETURN); }});
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(utf16ToUtf8(file), (dir.path / "ring.wav").string());
  EXPECT_EQ(file[ofn.nFileOffset], u'r');

  // Saving starts in the name given, selected whole: Enter takes it (with
  // the default extension), a name typed replaces it.
  wstrCopy(file, 260, u"Varn");
  ofn.Flags = OFN_EXPLORER;
  ofn.lpstrDefExt = u"bak";
  testDisplayScript({[](HWND) {
                       EXPECT_TRUE(screenHas("Varn"));
                       key(VK_RETURN);
                     }});
  ASSERT_TRUE(GetSaveFileNameW(&ofn));
  EXPECT_EQ(utf16ToUtf8(file), (dir.path / "Varn.bak").string());
  testDisplayScript({[](HWND) { type(u"backup.wav"); }, [](HWND) { key(VK_RETURN); }});
  ASSERT_TRUE(GetSaveFileNameW(&ofn));
  EXPECT_EQ(utf16ToUtf8(file), (dir.path / "backup.wav").string());

  setDisplay(headlessDisplay());
  EXPECT_FALSE(GetSaveFileNameW(&ofn)) << "headless: cancelled";
}

} // namespace
