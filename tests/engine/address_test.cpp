#include "engine/address.h"
#include "platform/text/wstr.h"

#include <gtest/gtest.h>

#include <string>

TEST(StripToAddress, Cases)
{
  struct Case {
    const char16_t *input;
    const char16_t *expected;
  };
  const Case cases[] = {
      {u"John Smith <john.smith>", u"john.smith"},
      {u"Jane <jd>", u"jd"},
      {u"<x> and <y>", u"y"},
      {u"a < b", u"a < b"},
      {u"plain", u"plain"},
      {u"a > b", u"a > b"},
      {u"x >< y", u"x >< y"},
      {u"<a>>", u"a>"},
      {u"<a <b> c", u"b"},
      {u"<>", u""},
      {u"", u""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.input));
    std::u16string text(c.input);
    EXPECT_EQ(stripToAddress(text.data()), text.data());
    EXPECT_EQ(std::u16string(text.c_str()), c.expected);
  }
  EXPECT_EQ(stripToAddress(nullptr), nullptr);
}
