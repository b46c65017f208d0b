// The user-interface language from the locale.
#include "platform/resources/language.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Language, LocaleNamesToLanguageIds)
{
  struct Case {
    const char *locale;
    LANGID id;
  } cases[] = {
      {"en_US.UTF-8", 0x409}, {"fr_FR.UTF-8", 0x40C}, {"ru_RU.UTF-8", 0x419}, {"uk_UA.UTF-8", 0x422},
      {"de_DE@euro", 0x407},  {"de_AT", 0xC07},       {"fr_CA", 0xC0C},       {"pt_BR", 0x416},
      {"pt_PT", 0x816},       {"en_GB", 0x809},       {"fr_XX", 0x40C},       {"de", 0x407},
      {"C", 0x409},           {"POSIX", 0x409},       {"C.UTF-8", 0x409},     {"xx_YY", 0x409},
      {"", 0x409},            {"ZH_cn.gb2312", 0x804},
  };
  for (const auto &c : cases)
    EXPECT_EQ(languageIdOfLocale(c.locale), c.id) << c.locale;
}

TEST(Language, FirstSetVariableDecides)
{
  const char *saved[3];
  const char *names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string keep[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = std::getenv(names[i]);
    if (saved[i])
      keep[i] = saved[i];
  }
  setenv("LC_ALL", "", 1); // empty counts as unset
  setenv("LC_MESSAGES", "uk_UA.UTF-8", 1);
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x422);
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x407);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x40C);
  unsetenv("LANG");
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x409);
  for (int i = 0; i < 3; ++i) {
    if (saved[i])
      setenv(names[i], keep[i].c_str(), 1);
    else
      unsetenv(names[i]);
  }
}

} // namespace
