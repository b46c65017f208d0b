#include "engine/charset_table.h"
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

TEST(CharsetTable, EveryRowMapsToItsCodePageUnlessAnEarlierRowHasItsName)
{
  for (int i = 0; i < CHARSET_TABLE_ROWS; ++i) {
    const CharsetRow &row = CharsetTable[i];
    SCOPED_TRACE(row.name);
    const CharsetRow *first =
        std::find_if(CharsetTable, CharsetTable + i + 1,
                     [&](const CharsetRow &r) { return std::string(r.name) == row.name; });
    EXPECT_EQ(charsetToCodePage(row.name), first->codePage);
    std::string upper(row.name);
    for (char &c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(charsetToCodePage(upper.c_str()), first->codePage);
  }
}

TEST(CharsetTable, TheRowsThatStandOut)
{
  EXPECT_EQ(CharsetTable[0].codePage, 708);
  EXPECT_EQ(CharsetTable[CHARSET_TABLE_ROWS - 1].codePage, 1252);
  EXPECT_EQ(charsetToCodePage("iso-2022-jp"), 50220); // the second row (50222) is never found
  EXPECT_EQ(CharsetTable[89].codePage, 50222);
  EXPECT_EQ(charsetToCodePage("x-ebcdic-finlandsweden-euro"), 1143);
  EXPECT_EQ(charsetToCodePage("iso-8859-1"), 1252);
  EXPECT_EQ(charsetToCodePage("UTF-8"), 65001);
  EXPECT_EQ(charsetToCodePage("Shift_JIS"), 932);
}

TEST(CharsetTable, UnknownNamesGiveZero)
{
  for (const char *name : {"latin1", "", "utf", "utf-8 ", " utf-8", "utf-8\xC0", "x"})
    EXPECT_EQ(charsetToCodePage(name), 0) << name;
  EXPECT_EQ(charsetToCodePage(nullptr), 0);
}

// The code pages of the table that no library here converts, and the UTF-16
// pages (they behave as the ANSI code page); every other one converts.
TEST(CharsetTable, CodePagesThatConvert)
{
  const std::set<int> unknown = {1200,  1201,  10001, 10002, 10003, 10004, 10005,
                                 10008, 10079, 20000, 20105, 20833, 29001, 50931};
  std::set<int> distinct, converting;
  for (const CharsetRow &row : CharsetTable) {
    distinct.insert(row.codePage);
    if (isCodePageSupported(static_cast<UINT>(row.codePage)))
      converting.insert(row.codePage);
    else
      EXPECT_TRUE(unknown.count(row.codePage)) << row.codePage;
  }
  EXPECT_EQ(distinct.size(), 117u);
  EXPECT_EQ(converting.size(), 103u);
}
