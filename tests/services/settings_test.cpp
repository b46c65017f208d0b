// Settings under the settings key: the number form of "MaxDownloadSize",
// what readSetting hands back, and the tray icon's setting.
#include "services/settings.h"

#include "platform/registry/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(SettingNumber, ReadsAsTheCLibraryDoes)
{
  struct Case {
    const WCHAR *text;
    std::int32_t value;
  } cases[] = {
      {u"500", 500},  {u"", 0},         {u"abc", 0},     {u" -12x", -12},           {u"+7", 7},
      {u"\t\n 42", 42}, {u"- 5", 0},    {u"0x10", 0},    {u"007", 7},               {u"-0", 0},
      {u"2147483647", INT_MAX},         {u"2147483648", INT_MAX},                   {u"-2147483648", INT_MIN},
      {u"99999999999999999999", INT_MAX}, {u"-99999999999999999999", INT_MIN},
  };
  for (const auto &c : cases)
    EXPECT_EQ(parseSettingNumber(c.text), c.value) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
}

class Settings : public TempRootTest {
protected:
  void writeHive(const std::string &values)
  {
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwell\\Brindlewick]\n" +
                       values;
    writeFile("Registry/user.reg", std::vector<unsigned char>(text.begin(), text.end()));
  }
};

TEST_F(Settings, MaxDownloadSizeThroughTheRegistry)
{
  struct Case {
    const WCHAR *stored;
    std::int32_t kilobytes;
  } cases[] = {{u"500", 500}, {u"", 0}, {u"12abc", 12}};
  for (const auto &c : cases) {
    writeSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, c.stored);
    WCHAR text[1024];
    ASSERT_TRUE(readSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, text, sizeof text));
    EXPECT_EQ(parseSettingNumber(text), c.kilobytes);
  }
  // Stored as a string of (length + 1) * 2 bytes.
  writeSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, u"500");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"MaxDownloadSize", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 8u);
  RegCloseKey(key);
  auto bytes = readFile("Registry/user.reg");
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("\"MaxDownloadSize\"=\"500\"\n"), std::string::npos);
}

TEST_F(Settings, ReadSettingFailsWhenMissingOrTooLong)
{
  WCHAR text[4];
  EXPECT_FALSE(readSetting(SETTINGS_KEY, u"ShowTrayIcon", text, sizeof text)); // no key at all
  writeSetting(SETTINGS_KEY, u"Long", u"too long for the buffer");
  EXPECT_FALSE(readSetting(SETTINGS_KEY, u"ShowTrayIcon", text, sizeof text)); // no value
  EXPECT_FALSE(readSetting(SETTINGS_KEY, u"Long", text, sizeof text));
}

TEST_F(Settings, ReadSettingAlwaysHandsBackATerminatedText)
{
  writeHive("\"NoTerminator\"=hex(1):41,00,42,00\n"
            "\"OddBytes\"=hex(1):41\n"
            "\"Number\"=dword:00000031\n");
  struct Case {
    const WCHAR *name;
    DWORD bufferBytes;
    bool read;
    std::u16string text;
  } cases[] = {
      {u"NoTerminator", 64, true, u"AB"},
      {u"NoTerminator", 6, true, u"AB"},
      {u"NoTerminator", 4, false, u""}, // the bytes fit, a terminator would not
      {u"OddBytes", 64, true, u"A"},
      {u"Number", 64, true, u"1"},      // whatever its type (0x31 0 0 0 holds its own end)
  };
  for (const auto &c : cases) {
    WCHAR text[32];
    std::fill(std::begin(text), std::end(text), u'#');
    EXPECT_EQ(readSetting(SETTINGS_KEY, c.name, text, c.bufferBytes), c.read) << c.bufferBytes;
    if (c.read) {
      EXPECT_EQ(std::u16string(text), c.text);
    }
  }
}

TEST_F(Settings, ReadSettingReadsANumberWholeIntoItsOwnSize)
{
  // Only texts get a terminator: a number fills its buffer exactly.
  writeHive("\"High\"=dword:00010000\n"
            "\"Full\"=dword:deadbeef\n"
            "\"Bytes\"=hex:01,02,03,04\n");
  struct Case {
    const WCHAR *name;
    DWORD value;
  } cases[] = {{u"High", 0x00010000}, {u"Full", 0xDEADBEEF}, {u"Bytes", 0x04030201}};
  for (const auto &c : cases) {
    DWORD value = 0;
    EXPECT_TRUE(readSetting(SETTINGS_KEY, c.name, &value, sizeof value));
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(Settings, TrayIconShownUnlessTheTextDiffersFromTrue)
{
  EXPECT_TRUE(trayIconWanted()); // missing
  struct Case {
    const WCHAR *stored;
    bool shown;
  } cases[] = {{u"TRUE", true}, {u"true", true}, {u"TrUe", true}, {u"FALSE", false},
               {u"", false},    {u"yes", false}, {u" TRUE", false}};
  for (const auto &c : cases) {
    writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, c.stored);
    EXPECT_EQ(trayIconWanted(), c.shown);
  }
}

} // namespace
