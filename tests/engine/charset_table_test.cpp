#include "engine/charset_table.h"
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <cctype>
#include <set>
#include <string>

// The 119 rows as the program must hold them, in their order, written out
// here rather than taken from the table under test.
const CharsetRow EXPECTED_ROWS[] = {
    {"asmo-708", 708}, {"dos-720", 720}, {"iso-8859-6", 28596}, {"x-mac-arabic", 10004},
    {"windows-1256", 1256}, {"ibm775", 775}, {"iso-8859-4", 28594}, {"windows-1257", 1257},
    {"ibm852", 852}, {"iso-8859-2", 28592}, {"x-mac-ce", 10029}, {"windows-1250", 1250},
    {"euc-cn", 51936}, {"gb2312", 936}, {"hz-gb-2312", 52936}, {"x-mac-chinesesimp", 10008},
    {"big5", 950}, {"x-chinese-cns", 20000}, {"x-chinese-eten", 20002},
    {"x-mac-chinesetrad", 10002}, {"cp866", 866}, {"iso-8859-5", 28595}, {"koi8-r", 20866},
    {"koi8-u", 21866}, {"x-mac-cyrillic", 10007}, {"windows-1251", 1251}, {"x-europa", 29001},
    {"x-ia5-german", 20106}, {"ibm737", 737}, {"iso-8859-7", 28597}, {"x-mac-greek", 10006},
    {"windows-1253", 1253}, {"ibm869", 869}, {"dos-862", 862}, {"iso-8859-8-i", 38598},
    {"iso-8859-8", 28598}, {"x-mac-hebrew", 10005}, {"windows-1255", 1255},
    {"x-ebcdic-arabic", 20420}, {"x-ebcdic-cyrillicrussian", 20880},
    {"x-ebcdic-cyrillicserbianbulgarian", 21025}, {"x-ebcdic-denmarknorway", 20277},
    {"x-ebcdic-denmarknorway-euro", 1142}, {"x-ebcdic-finlandsweden", 20278},
    {"x-ebcdic-finlandsweden-euro", 1143}, {"x-ebcdic-finlandsweden-euro", 1143},
    {"x-ebcdic-france-euro", 1147}, {"x-ebcdic-germany", 20273}, {"x-ebcdic-germany-euro", 1141},
    {"x-ebcdic-greekmodern", 875}, {"x-ebcdic-greek", 20423}, {"x-ebcdic-hebrew", 20424},
    {"x-ebcdic-icelandic", 20871}, {"x-ebcdic-icelandic-euro", 1149},
    {"x-ebcdic-international-euro", 1148}, {"x-ebcdic-italy", 20280}, {"x-ebcdic-italy-euro", 1144},
    {"x-ebcdic-japaneseandkana", 50930}, {"x-ebcdic-japaneseandjapaneselatin", 50939},
    {"x-ebcdic-japaneseanduscanada", 50931}, {"x-ebcdic-japanesekatakana", 20290},
    {"x-ebcdic-koreanandkoreanextended", 50933}, {"x-ebcdic-koreanextended", 20833}, {"cp870", 870},
    {"x-ebcdic-simplifiedchinese", 50935}, {"x-ebcdic-spain", 20284}, {"x-ebcdic-spain-euro", 1145},
    {"x-ebcdic-thai", 20838}, {"x-ebcdic-traditionalchinese", 50937}, {"cp1026", 1026},
    {"x-ebcdic-turkish", 20905}, {"x-ebcdic-uk", 20285}, {"x-ebcdic-uk-euro", 1146},
    {"ebcdic-cp-us", 37}, {"x-ebcdic-cp-us-euro", 1140}, {"ibm861", 861},
    {"x-mac-icelandic", 10079}, {"x-iscii-as", 57006}, {"x-iscii-be", 57003}, {"x-iscii-de", 57002},
    {"x-iscii-gu", 57010}, {"x-iscii-ka", 57008}, {"x-iscii-ma", 57009}, {"x-iscii-or", 57007},
    {"x-iscii-pa", 57011}, {"x-iscii-ta", 57004}, {"x-iscii-te", 57005}, {"euc-jp", 51932},
    {"iso-2022-jp", 50220}, {"iso-2022-jp", 50222}, {"csiso2022jp", 50221},
    {"x-mac-japanese", 10001}, {"shift_jis", 932}, {"ks_c_5601-1987", 949}, {"euc-kr", 51949},
    {"iso-2022-kr", 50225}, {"johab", 1361}, {"x-mac-korean", 10003}, {"iso-8859-3", 28593},
    {"iso-8859-15", 28605}, {"x-ia5-norwegian", 20108}, {"ibm437", 437}, {"x-ia5-swedish", 20107},
    {"windows-874", 874}, {"ibm857", 857}, {"iso-8859-9", 28599}, {"x-mac-turkish", 10081},
    {"windows-1254", 1254}, {"unicode", 1200}, {"unicodefffe", 1201}, {"utf-7", 65000},
    {"utf-8", 65001}, {"us-ascii", 20127}, {"windows-1258", 1258}, {"ibm850", 850},
    {"x-ia5", 20105}, {"iso-8859-1", 1252}, {"macintosh", 10000}, {"windows-1252", 1252},
};

TEST(CharsetTable, EveryRowInItsPlaceAndTheFirstOfANameWins)
{
  ASSERT_EQ(std::size(EXPECTED_ROWS), static_cast<std::size_t>(CHARSET_TABLE_ROWS));
  for (int i = 0; i < CHARSET_TABLE_ROWS; ++i) {
    const CharsetRow &want = EXPECTED_ROWS[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(std::string(CharsetTable[i].name), want.name) << "row " << i + 1;
    EXPECT_EQ(CharsetTable[i].codePage, want.codePage) << "row " << i + 1;
    const CharsetRow *first =
        std::find_if(EXPECTED_ROWS, EXPECTED_ROWS + i + 1,
                     [&](const CharsetRow &r) { return std::string(r.name) == want.name; });
    EXPECT_EQ(charsetToCodePage(want.name), first->codePage);
    std::string upper(want.name);
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
