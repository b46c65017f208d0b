// Every code page number that converts here, with a text in its script: the
// bytes were made by another library than the one that decodes them where
// one knows the page (Python's codecs, glibc's iconv), so a wrong converter
// choice shows up as a mismatch.
#include "platform/codepage/codepage.h"
#include "platform/text/wstr.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Sample {
  UINT codePage;         // Windows code page number
  const char *hex;       // the text's bytes in that code page
  const char16_t *text;  // what they read as
};

const Sample samples[] = {
    {37, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {437, "4361668220ab", u"Café ½"},
    {708, "e5d1cdc8c7", u"مرحبا"},
    {720, "eaa9a5a09f", u"مرحبا"},
    {737, "8998a29ea3e2a898", u"Καλημέρα"},
    {775, "b5d8756f6c6173", u"Ąžuolas"},
    {850, "436166822092729b", u"Café Ærø"},
    {852, "9da264ab", u"Łódź"},
    {857, "987374616e62756c20a79f", u"İstanbul ğş"},
    {861, "8da2728c7572", u"Þórður"},
    {862, "998c858d", u"שלום"},
    {866, "8fe0a8a2a5e2", u"Привет"},
    {869, "b5d6e5e1e69debd6", u"Καλημέρα"},
    {870, "bace84b7", u"Łódź"},
    {874, "c0d2c9d2e4b7c2", u"ภาษาไทย"},
    {875, "518a9e9a9fb2ae8a", u"Καλημέρα"},
    {932, "93fa967b8cea8365834c83588367", u"日本語テキスト"},
    {936, "d6d0cec4bcf2cce5", u"中文简体"},
    {949, "c7d1b1b9beee", u"한국어"},
    {950, "a4a4a4e5c163c5e9", u"中文繁體"},
    {1026, "5ba2a3819582a49340d06a", u"İstanbul ğş"},
    {1140, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1141, "c88593939640e66a99938440f1f2f3", u"Hello Wörld 123"},
    {1142, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1143, "c88593939640e66a99938440f1f2f3", u"Hello Wörld 123"},
    {1144, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1145, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1146, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1147, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1148, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {1149, "c88593939640e6a199938440f1f2f3", u"Hello Wörld 123"},
    {1250, "a3f3649f", u"Łódź"},
    {1251, "cff0e8e2e5f2", u"Привет"},
    {1252, "436166e92080", u"Café €"},
    {1253, "cae1ebe7ecddf1e1", u"Καλημέρα"},
    {1254, "dd7374616e62756c20f0fe", u"İstanbul ğş"},
    {1255, "f9ece5ed", u"שלום"},
    {1256, "e3d1cdc8c7", u"مرحبا"},
    {1257, "c0fe756f6c6173", u"Ąžuolas"},
    {1258, "d0f46e67", u"Đông"},
    {1361, "d0658a82b4e1", u"한국어"},
    {10000, "4361668e20b7", u"Café ∑"},
    {10006, "bae1ece8eddbf2e1", u"Καλημέρα"},
    {10007, "8ff0e8e2e5f2", u"Привет"},
    {10029, "fc976490", u"Łódź"},
    {10081, "dc7374616e62756c20dbdf", u"İstanbul ğş"},
    {20002, "a4a4a4e5c163c5e9", u"中文繁體"},
    {20106, "47727d7e65", u"Grüße"},
    {20107, "5d7361205c6c616e646572", u"Åsa Ölander"},
    {20108, "5b727c205c6c", u"Ærø Øl"},
    {20127, "506c61696e204153434949", u"Plain ASCII"},
    {20273, "c88593939640e66a99938440f1f2f3", u"Hello Wörld 123"},
    {20277, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {20278, "c88593939640e66a99938440f1f2f3", u"Hello Wörld 123"},
    {20280, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {20284, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {20285, "c88593939640e6cc99938440f1f2f3", u"Hello Wörld 123"},
    {20290, "c1c2c3408182", u"ABC ｱｲ"},
    {20420, "bb75695856", u"مرحبا"},
    {20423, "5141524753455841", u"ΚΑΛΗΜΕΡΑ"},
    {20424, "69544655", u"שלום"},
    {20838, "8dbdaabddf738f", u"ภาษาไทย"},
    {20866, "f0d2c9d7c5d4", u"Привет"},
    {20871, "c88593939640e6a199938440f1f2f3", u"Hello Wörld 123"},
    {20880, "dcdecbedbdea", u"ПРИВЕТ"},
    {20905, "5ba2a3819582a49340d06a", u"İstanbul ğş"},
    {21025, "fa8aaa77af9e", u"Здраво"},
    {21866, "f0d2c9d7a6d4", u"Привіт"},
    {28592, "a3f364bc", u"Łódź"},
    {28593, "a161f56172", u"Ħaġar"},
    {28594, "a1be756f6c6173", u"Ąžuolas"},
    {28595, "bfe0d8d2d5e2", u"Привет"},
    {28596, "e5d1cdc8c7", u"مرحبا"},
    {28597, "cae1ebe7ecddf1e1", u"Καλημέρα"},
    {28598, "f9ece5ed", u"שלום"},
    {28599, "dd7374616e62756c20f0fe", u"İstanbul ğş"},
    {28605, "436166e920a4", u"Café €"},
    {38598, "f9ece5ed", u"שלום"},
    {50220, "1b2442467c4b5c386c2546252d253925481b2842", u"日本語テキスト"},
    {50221, "1b2442467c4b5c386c2546252d253925481b2842", u"日本語テキスト"},
    {50222, "1b2442467c4b5c386c2546252d253925481b2842", u"日本語テキスト"},
    {50225, "1b2429430e475131393e6e0f", u"한국어"},
    {50930, "0e4562456648e70f94878e95", u"日本語ﾃｷｽﾄ"},
    {50933, "0ed0658a82b4e10f", u"한국어"},
    {50935, "0e5bcf57c34ef156e40f", u"中文简体"},
    {50937, "0e4c844cc5648e68750f", u"中文繁體"},
    {50939, "0e4562456648e743944387438e43950f40818283", u"日本語テキスト abc"},
    {51932, "c6fccbdcb8eca5c6a5ada5b9a5c8", u"日本語テキスト"},
    {51936, "d6d0cec4bcf2cce5", u"中文简体"},
    {51949, "c7d1b1b9beee", u"한국어"},
    {52936, "7e7b56504e443c724c657e7d", u"中文简体"},
    {57002, "d8dbc6e8c4dc", u"हिन्दी"},
    {57003, "cadaa2d1da", u"বাংলা"},
    {57004, "c2ccdbd3e8", u"தமிழ்"},
    {57005, "c2e0d1ddb5dd", u"తెలుగు"},
    {57006, "a4d7cc", u"অসম"},
    {57007, "b0bfe9dba5", u"ଓଡ଼ିଆ"},
    {57008, "b3c6e8c6bf", u"ಕನ್ನಡ"},
    {57009, "ccd1cddad2a2", u"മലയാളം"},
    {57010, "b5ddbacfdac2dc", u"ગુજરાતી"},
    {57011, "c8a2badacadc", u"ਪੰਜਾਬੀ"},
    {65000, "4869204d6f6d202d2b4a6a6f2d2d21", u"Hi Mom -☺-!"},
    {65001, "cea96d65676120e29c9320f09d849e", u"Ωmega ✓ 𝄞"},
};

std::string fromHex(const char *hex)
{
  std::string out;
  for (const char *p = hex; p[0] && p[1]; p += 2)
    out.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
  return out;
}

std::u16string convert(UINT codePage, const std::string &bytes)
{
  std::vector<WCHAR> buf(bytes.size() * 2 + 2);
  int n = MultiByteToWideChar(codePage, 0, bytes.c_str(), static_cast<int>(bytes.size()) + 1,
                              buf.data(), static_cast<int>(buf.size()));
  if (n <= 0)
    return u"<failed>";
  return std::u16string(buf.data(), static_cast<std::size_t>(n - 1));
}

} // namespace

TEST(CodePageSamples, EveryPageReadsItsSample)
{
  for (const Sample &s : samples) {
    SCOPED_TRACE(s.codePage);
    EXPECT_TRUE(isCodePageSupported(s.codePage));
    std::string bytes = fromHex(s.hex);
    EXPECT_EQ(utf16ToUtf8(convert(s.codePage, bytes)), utf16ToUtf8(s.text));
  }
}

// Windows' three ISO-2022-JP pages differ in how they write half-width
// katakana; mail may use any of the forms under any of the names.
TEST(CodePageSamples, JapaneseIso2022ReadsEveryKatakanaForm)
{
  for (UINT cp : {50220u, 50221u, 50222u}) {
    SCOPED_TRACE(cp);
    EXPECT_EQ(convert(cp, "\x1b(I\x31\x1b(B a"), u"\uFF71 a");
    EXPECT_EQ(convert(cp, "\x0e\x31\x0f b"), u"\uFF71 b");
    EXPECT_EQ(convert(cp, "\x1b$(D\x22\x2f\x1b(B"), u"\u02D8"); // JIS X 0212
  }
}

// The numbers no library here knows behave exactly as code page 0; so do
// the UTF-16 and UTF-32 pages, whose text is no terminated 8-bit string.
TEST(CodePageSamples, UnknownNumbersReadAsAnsi)
{
  for (UINT cp : {10001u, 10002u, 10003u, 10004u, 10005u, 10008u, 10079u, 20000u, 20105u, 20833u,
                  29001u, 50931u, 4242u, 65535u, 1200u, 1201u, 12000u, 12001u}) {
    SCOPED_TRACE(cp);
    EXPECT_FALSE(isCodePageSupported(cp));
    EXPECT_EQ(convert(cp, "a\x80\xE9"), u"a\u20AC\u00E9");
  }
}

// glibc's converters stop at a byte they cannot read; here such a byte
// reads as U+FFFD and the rest still converts, as with ICU's.
TEST(CodePageSamples, IconvPagesReplaceBadBytesAndGoOn)
{
  EXPECT_EQ(convert(20106, "a\xFF" "b"), u"a\uFFFDb"); // DIN 66003 is 7-bit
  EXPECT_EQ(convert(1361, "x\xD0"), u"x\uFFFD");       // a cut double-byte character
}

TEST(CodePageSamples, ExactFitAndOneShort)
{
  WCHAR buf[4];
  EXPECT_EQ(MultiByteToWideChar(1251, 0, "\xCF\xF0\xE8", -1, buf, 4), 4);
  EXPECT_EQ(std::u16string(buf), u"\u041F\u0440\u0438");
  EXPECT_EQ(MultiByteToWideChar(1251, 0, "\xCF\xF0\xE8", -1, buf, 3), 0);
  EXPECT_EQ(MultiByteToWideChar(20880, 0, "\xDC\xDE", -1, buf, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(20880, 0, "\xDC\xDE", -1, buf, 3), 3);
}

TEST(CodePageSamples, IconvPagesEncodeToo)
{
  char out[8];
  BOOL usedDefault = TRUE;
  EXPECT_EQ(WideCharToMultiByte(20106, 0, u"Gr\u00FC\u00DFe", -1, out, 8, nullptr, &usedDefault), 6);
  EXPECT_EQ(std::string(out), "Gr}~e");
  EXPECT_FALSE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(20106, 0, u"\u4E2D", -1, out, 8, nullptr, &usedDefault), 2);
  EXPECT_EQ(std::string(out), "?");
  EXPECT_TRUE(usedDefault);
}

// Conversions run on several threads at once (the processing pass runs on
// notification threads): each thread has its own converters.
TEST(CodePageSamples, ThreadsConvertAtOnce)
{
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 200; ++i) {
        const Sample &s = samples[(static_cast<std::size_t>(t) * 31 + static_cast<std::size_t>(i)) %
                                  std::size(samples)];
        if (convert(s.codePage, fromHex(s.hex)) != s.text)
          ++failures[static_cast<std::size_t>(t)];
      }
    });
  for (auto &th : threads)
    th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}
