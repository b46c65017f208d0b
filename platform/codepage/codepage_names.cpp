#include "platform/codepage/codepage_names.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <iterator>

namespace {

// One Windows code page number and its converter.
struct Entry {
  UINT codePage;           // Windows code page number
  CodePageLibrary library; // where its converter lives
  const char *name;        // the converter's name there
};

constexpr CodePageLibrary ICU = CodePageLibrary::icu;
constexpr CodePageLibrary ICONV = CodePageLibrary::iconv;

// Sorted by number. Numbers whose Windows table is a subset of a richer
// encoding map to the richer one, since only decoding has to be lenient:
// EUC-CN (51936) to GBK, the three ISO-2022-JP pages to ICU's JIS7 variant,
// which reads half-width katakana in both of their forms and JIS X 0212, and
// Big5 with the ETEN extensions (20002) to Big5-HKSCS, which contains them.
// The 20xxx EBCDIC pages are IBM's code pages of the number less 20000.
// glibc's MAC-IS is not the Mac Icelandic table of 10079 (a dozen bytes
// differ, the eth among them), so 10079 has no converter. UTF-16 (1200,
// 1201) has none either: its text is no terminated 8-bit string, and the
// handheld's conversion refuses it too.
constexpr Entry table[] = {
    {0, ICU, "windows-1252"},
    {37, ICU, "ibm-37"},
    {437, ICU, "ibm-437"},
    {500, ICU, "ibm-500"},
    {708, ICONV, "ASMO-708"},
    {720, ICU, "ibm-720"},
    {737, ICU, "ibm-737"},
    {775, ICU, "ibm-775"},
    {850, ICU, "ibm-850"},
    {852, ICU, "ibm-852"},
    {855, ICU, "ibm-855"},
    {857, ICU, "ibm-857"},
    {858, ICU, "ibm-858"},
    {860, ICU, "ibm-860"},
    {861, ICU, "ibm-861"},
    {862, ICU, "ibm-862"},
    {863, ICU, "ibm-863"},
    {864, ICU, "ibm-864"},
    {865, ICU, "ibm-865"},
    {866, ICU, "ibm-866"},
    {869, ICU, "ibm-869"},
    {870, ICU, "ibm-870"},
    {874, ICU, "windows-874"},
    {875, ICU, "ibm-875"},
    {932, ICU, "windows-932"},
    {936, ICU, "windows-936"},
    {949, ICU, "windows-949"},
    {950, ICU, "windows-950"},
    {1026, ICU, "ibm-1026"},
    {1047, ICU, "ibm-1047"},
    {1140, ICU, "ibm-1140"},
    {1141, ICU, "ibm-1141"},
    {1142, ICU, "ibm-1142"},
    {1143, ICU, "ibm-1143"},
    {1144, ICU, "ibm-1144"},
    {1145, ICU, "ibm-1145"},
    {1146, ICU, "ibm-1146"},
    {1147, ICU, "ibm-1147"},
    {1148, ICU, "ibm-1148"},
    {1149, ICU, "ibm-1149"},
    {1250, ICU, "windows-1250"},
    {1251, ICU, "windows-1251"},
    {1252, ICU, "windows-1252"},
    {1253, ICU, "windows-1253"},
    {1254, ICU, "windows-1254"},
    {1255, ICU, "windows-1255"},
    {1256, ICU, "windows-1256"},
    {1257, ICU, "windows-1257"},
    {1258, ICU, "windows-1258"},
    {1361, ICONV, "JOHAB"},
    {10000, ICU, "macintosh"},
    {10006, ICU, "x-mac-greek"},
    {10007, ICU, "x-mac-cyrillic"},
    {10029, ICU, "x-mac-ce"},
    {10081, ICU, "x-mac-turkish"},
    {20002, ICU, "ibm-1375"},
    {20106, ICONV, "DIN_66003"},
    {20107, ICONV, "SEN_850200_B"},
    {20108, ICONV, "NS_4551-1"},
    {20127, ICU, "US-ASCII"},
    {20273, ICU, "ibm-273"},
    {20277, ICU, "ibm-277"},
    {20278, ICU, "ibm-278"},
    {20280, ICU, "ibm-280"},
    {20284, ICU, "ibm-284"},
    {20285, ICU, "ibm-285"},
    {20290, ICU, "ibm-290"},
    {20297, ICU, "ibm-297"},
    {20420, ICU, "ibm-420"},
    {20423, ICONV, "IBM423"},
    {20424, ICU, "ibm-424"},
    {20838, ICU, "ibm-838"},
    {20866, ICU, "KOI8-R"},
    {20871, ICU, "ibm-871"},
    {20880, ICONV, "IBM880"},
    {20905, ICONV, "IBM905"},
    {21025, ICU, "ibm-1025"},
    {21866, ICU, "KOI8-U"},
    {28591, ICU, "ISO-8859-1"},
    {28592, ICU, "ISO-8859-2"},
    {28593, ICU, "ISO-8859-3"},
    {28594, ICU, "ISO-8859-4"},
    {28595, ICU, "ISO-8859-5"},
    {28596, ICU, "ISO-8859-6"},
    {28597, ICU, "ISO-8859-7"},
    {28598, ICU, "ISO-8859-8"},
    {28599, ICU, "ISO-8859-9"},
    {28603, ICU, "ISO-8859-13"},
    {28605, ICU, "ISO-8859-15"},
    {38598, ICU, "ISO-8859-8-I"},
    {50220, ICU, "ISO_2022,locale=ja,version=3"},
    {50221, ICU, "ISO_2022,locale=ja,version=3"},
    {50222, ICU, "ISO_2022,locale=ja,version=3"},
    {50225, ICU, "ISO-2022-KR"},
    {50930, ICU, "ibm-930"},
    {50933, ICU, "ibm-933"},
    {50935, ICU, "ibm-935"},
    {50937, ICU, "ibm-937"},
    {50939, ICU, "ibm-939"},
    {51932, ICU, "EUC-JP"},
    {51936, ICU, "windows-936"},
    {51949, ICU, "EUC-KR"},
    {52936, ICU, "HZ-GB-2312"},
    {54936, ICU, "GB18030"},
    {57002, ICU, "x-iscii-de"},
    {57003, ICU, "x-iscii-be"},
    {57004, ICU, "x-iscii-ta"},
    {57005, ICU, "x-iscii-te"},
    {57006, ICU, "x-iscii-as"},
    {57007, ICU, "x-iscii-or"},
    {57008, ICU, "x-iscii-ka"},
    {57009, ICU, "x-iscii-ma"},
    {57010, ICU, "x-iscii-gu"},
    {57011, ICU, "x-iscii-pa"},
    {65000, ICU, "UTF-7"},
    {65001, ICU, "UTF-8"},
};

static_assert(std::is_sorted(std::begin(table), std::end(table),
                             [](const Entry &a, const Entry &b) { return a.codePage < b.codePage; }));

} // namespace

CodePageConverterName codePageConverterName(UINT codePage)
{
  auto it = std::lower_bound(std::begin(table), std::end(table), codePage,
                             [](const Entry &e, UINT n) { return e.codePage < n; });
  if (it != std::end(table) && it->codePage == codePage)
    return {it->library, it->name};
  if (codePage == 1200 || codePage == 1201)
    return {}; // ICU's aliases would find UTF-16 for them
  // ICU publishes a "windows-N" alias for further Windows code pages.
  std::string alias = "windows-" + std::to_string(codePage);
  UErrorCode err = U_ZERO_ERROR;
  if (ucnv_countAliases(alias.c_str(), &err) > 0 && U_SUCCESS(err))
    return {CodePageLibrary::icu, alias};
  return {};
}
