#include "platform/text/wstr.h"

#include <gtest/gtest.h>

TEST(Wstr, BoundedCopyCutsAndTerminates)
{
  WCHAR buf[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(wstrCopy(buf, 4, u"abcdef"), 3u);
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(wstrCopy(buf, 1, u"abc"), 0u);
  EXPECT_EQ(buf[0], 0);
  buf[0] = u'q';
  EXPECT_EQ(wstrCopy(buf, 0, u"abc"), 0u);
  EXPECT_EQ(buf[0], u'q');

  WCHAR app[6] = u"ab";
  wstrAppend(app, 6, u"cdefg");
  EXPECT_EQ(std::u16string(app), u"abcde");
}

TEST(Wstr, CaseInsensitiveCompareUsesUnicodeLowerCase)
{
  EXPECT_EQ(wstrICmp(u"Ann.Lee@Example.ORG", u"ann.lee@example.org"), 0);
  EXPECT_EQ(wstrICmp(u"ПРИВЕТ", u"привет"), 0);
  EXPECT_EQ(wstrICmp(u"ÄÖÜ", u"äöü"), 0);
  EXPECT_NE(wstrICmp(u"abc", u"abcd"), 0);
  EXPECT_LT(wstrICmp(u"abc", u"abd"), 0);
  // A unit whose lower case needs two units stays as it is.
  EXPECT_EQ(toLowerUnit(u'\u0130'), u'i');
  EXPECT_EQ(toLowerUnit(0xD801), 0xD801);
}

TEST(Wstr, Find)
{
  const WCHAR *hay = u"hello world";
  EXPECT_EQ(wstrFind(hay, u"world"), hay + 6);
  EXPECT_EQ(wstrFind(hay, u""), hay);
  EXPECT_EQ(wstrFind(hay, u"worlds"), nullptr);
  EXPECT_EQ(wstrFind(u"", u"a"), nullptr);
}

TEST(Wstr, Utf8RoundTripAndMalformedInput)
{
  std::u16string s = u"a\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(s)), s);
  EXPECT_EQ(utf8ToUtf16("\xC3"), u"\uFFFD");         // cut sequence
  EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong
  EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80x").back(), u'x'); // encoded surrogate
  EXPECT_EQ(utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
}

TEST(Wstr, FormatTakesArgumentsInOrder)
{
  EXPECT_EQ(wformat(u"Move to %s", {u"Work"}), u"Move to Work");
  EXPECT_EQ(wformat(u"Smaller than %d K", {-3}), u"Smaller than -3 K");
  EXPECT_EQ(wformat(u"%s and %d%%", {u"x", 5}), u"x and 5%");
  // Missing or mismatched arguments leave the directive as it stands.
  EXPECT_EQ(wformat(u"%s %d", {}), u"%s %d");
  EXPECT_EQ(wformat(u"%d", {u"text"}), u"%d");
}
