// GUIDs as registry text, and BSTRs.
#include "platform/com/bstr.h"
#include "platform/com/guidtext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr GUID POOM_APPLICATION = {0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

TEST(GuidText, WritesTheBracedUpperCaseForm)
{
  WCHAR text[39];
  ASSERT_EQ(StringFromGUID2(POOM_APPLICATION, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{05058F23-20BE-11D2-8F18-0000F87A4335}");
  EXPECT_EQ(StringFromGUID2(POOM_APPLICATION, text, 38), 0);
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{00000000-0000-0000-C000-000000000046}");
}

TEST(GuidText, ReadsEitherCaseAndRoundTrips)
{
  GUID g;
  ASSERT_EQ(CLSIDFromString(u"{af7d0dc7-3d35-424b-aa60-27a38b8b629e}", &g), S_OK);
  constexpr GUID expected = {0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};
  EXPECT_TRUE(IsEqualGUID(g, expected));
  WCHAR text[39];
  StringFromGUID2(g, text, 39);
  GUID back;
  ASSERT_EQ(IIDFromString(text, &back), S_OK);
  EXPECT_EQ(back, g);
}

TEST(GuidText, RefusesMalformedText)
{
  const WCHAR *bad[] = {
      u"",
      u"05058F23-20BE-11D2-8F18-0000F87A4335",    // no braces
      u"{05058F23-20BE-11D2-8F18-0000F87A4335",   // no closing brace
      u"{05058F23-20BE-11D2-8F18-0000F87A4335}x", // trailing text
      u"{05058F2G-20BE-11D2-8F18-0000F87A4335}",  // not hex
      u"{05058F23-20BE-11D2-8F180000F87A4335}",   // a dash missing
      u"{05058F23-20BE-11D2-8F18-0000F87A433}",   // a digit short
      u"{05058F23:20BE-11D2-8F18-0000F87A4335}",  // wrong separator
      u"{",
  };
  for (const WCHAR *text : bad) {
    GUID g = POOM_APPLICATION;
    EXPECT_EQ(CLSIDFromString(text, &g), CO_E_CLSSTRING) << std::string(text, text + std::char_traits<char16_t>::length(text));
    EXPECT_EQ(g, GUID{}) << "a refused text leaves a zero GUID";
    EXPECT_EQ(IIDFromString(text, &g), E_INVALIDARG);
  }
  GUID g;
  EXPECT_EQ(CLSIDFromString(nullptr, &g), E_INVALIDARG);
}

TEST(Bstr, KeepsLengthPrefixAndTerminator)
{
  BSTR s = SysAllocString(u"Quillmarsh");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 10u);
  EXPECT_EQ(SysStringByteLen(s), 20u);
  EXPECT_EQ(std::u16string(s), u"Quillmarsh");
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<char *>(s) - 4, 4);
  EXPECT_EQ(prefix, 20u) << "the prefix counts bytes, as OLE's does";
  SysFreeString(s);

  const WCHAR withNull[] = {u'a', 0, u'b'};
  BSTR n = SysAllocStringLen(withNull, 3);
  EXPECT_EQ(SysStringLen(n), 3u);
  EXPECT_EQ(std::u16string(n, SysStringLen(n)), std::u16string(withNull, 3));
  EXPECT_EQ(n[3], 0);
  SysFreeString(n);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(std::u16string(zeroed, 5), std::u16string(5, u'\0'));
  SysFreeString(zeroed);

  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(u"x", 0xFFFFFFFFu), nullptr) << "a length the prefix cannot hold";
}

} // namespace
