// The language resource file: what each line reads as, and the lines that
// are skipped without spoiling the others.
#include "platform/resources/resource_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LineCase {
  const char *line;      // one line of a file
  std::u16string text;   // the text string 40000 gets
};

TEST(LanguageFile, LineForms)
{
  const LineCase cases[] = {
      {"40000 = Archiv", u"Archiv"},
      {"40000=Archiv", u"Archiv"},
      {"  40000 =   >> LÖSCHEN <<   \r", u">> LÖSCHEN <<"},
      {"40000 = Von=\"%s\"", u"Von=\"%s\""},
      {"40000 = \" padded \"", u" padded "},
      {"40000 = \"say \\\"hi\\\"\"  ", u"say \"hi\""},
      {"40000 = a\\nb\\tc\\\\d\\u00e9\\u0416", u"a\nb\tc\\dé\u0416"},
      {"40000 = C:\\Windows\\", u"C:\\Windows\\"},
      {"40000 = \\u12", u"\\u12"},
      {"40000 = \"\"", u""},
      {"40000 =", u""},
      {"040000 = leading zero", u"leading zero"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    ResourceTable t = parseLanguageFile(c.line);
    ASSERT_EQ(t.strings.count(40000), 1u);
    EXPECT_EQ(t.strings.at(40000), c.text);
  }
}

TEST(LanguageFile, UnreadableLinesAreSkipped)
{
  const char *bad[] = {"abc = x", "= x", "65536 = too big", "99999999999999999999 = x", "40000 x",
                       "40000 = \"unclosed", "40000 = \"a\" trailing", "-1 = x"};
  for (const char *line : bad) {
    SCOPED_TRACE(line);
    ResourceTable t = parseLanguageFile(std::string("1 = before\n") + line + "\n2 = after\n");
    EXPECT_EQ(t.strings.size(), 2u);
    EXPECT_EQ(t.strings.at(1), u"before");
    EXPECT_EQ(t.strings.at(2), u"after");
  }
}

TEST(LanguageFile, SectionsCommentsAndRepeats)
{
  ResourceTable t = parseLanguageFile("\xEF\xBB\xBF# Deutsch\r\n"
                                      "40019 = Archiv\r\n"
                                      "; note\n"
                                      "[menu 106]\n"
                                      "40001 = Neu\n"
                                      "[ Strings ]\n"
                                      "40019 = Archiv 2\n"
                                      "65535 = last id\n");
  EXPECT_EQ(t.strings.size(), 2u);
  EXPECT_EQ(t.strings.at(40019), u"Archiv 2"); // a later line wins
  EXPECT_EQ(t.strings.count(40001), 0u);       // not a string of the table
  EXPECT_EQ(t.strings.at(65535), u"last id");
}

} // namespace
