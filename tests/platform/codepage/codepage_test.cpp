#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <string>

TEST(CodePage, AnsiIsWindows1252WithTheHandheldContract)
{
  WCHAR buf[8];
  // Units written include the terminator.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\x80\xE9", -1, buf, 8), 4);
  EXPECT_EQ(std::u16string(buf), u"a\u20AC\u00E9");
  // Does not fit: 0.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, buf, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, buf, 0), 5);

  char out[8];
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u20AC\u4E2D", -1, out, 8, nullptr, &usedDefault), 3);
  EXPECT_EQ(std::string(out), "\x80?");
  EXPECT_TRUE(usedDefault);
}

TEST(CodePage, UnsupportedNumberBehavesAsAnsi)
{
  WCHAR buf[4];
  EXPECT_FALSE(isCodePageSupported(4242));
  EXPECT_EQ(MultiByteToWideChar(4242, 0, "\x80", -1, buf, 4), 2);
  EXPECT_EQ(buf[0], u'\u20AC');
}

TEST(CodePage, OtherPagesConvert)
{
  WCHAR buf[8];
  ASSERT_TRUE(isCodePageSupported(1251));
  EXPECT_EQ(MultiByteToWideChar(1251, 0, "\xCF\xF0", -1, buf, 8), 3);
  EXPECT_EQ(std::u16string(buf), u"\u041F\u0440");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xD0\x9F", 2, buf, 8), 1);
  EXPECT_EQ(buf[0], u'\u041F');
}

// Whatever the page, -1 converts up to and including the terminator, and the
// count includes it.
TEST(CodePage, EveryPageKeepsTheTerminatorContract)
{
  for (UINT cp : {0u, 1200u, 1201u, 1251u, 12000u, 20106u, 50220u, 65000u, 65001u}) {
    SCOPED_TRACE(cp);
    WCHAR buf[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(cp, 0, "ab", -1, buf, 4), 3);
    EXPECT_EQ(std::u16string(buf), u"ab");
    char out[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(WideCharToMultiByte(cp, 0, u"ab", -1, out, 4, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(out), "ab");
  }
}
