#include "engine/header_decode.h"
#include "platform/text/wstr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// One decoder case: input, the bytes expected (zeros allowed), and the
// output buffer's capacity.
struct ByteCase {
  const char *input;
  std::string expected;
  std::size_t capacity = 64;
};

using ByteDecoder = std::size_t (*)(const char *, char *, std::size_t);

void runByteCases(ByteDecoder decode, const std::vector<ByteCase> &cases)
{
  for (const ByteCase &c : cases) {
    SCOPED_TRACE(c.input);
    // One guard byte behind the capacity: it must stay untouched.
    std::vector<char> out(c.capacity + 1, '#');
    std::size_t n = decode(c.input, out.data(), c.capacity);
    EXPECT_EQ(std::string(out.data(), n), c.expected);
    EXPECT_EQ(out[n], '\0');
    EXPECT_EQ(out[c.capacity], '#');
  }
}

// Decodes a header value (copied, since it changes in place) into a buffer
// of the given capacity; the result as UTF-8.
std::string decodeHeader(const std::string &value, std::size_t capacity = 256)
{
  std::vector<char> copy(value.begin(), value.end());
  copy.push_back('\0');
  std::vector<WCHAR> out(capacity + 1, u'#');
  decodeHeaderText(copy.data(), out.data(), capacity);
  EXPECT_EQ(out[capacity], u'#') << "written past the capacity";
  return utf16ToUtf8(out.data());
}

struct TextCase {
  const char *input;
  const char *expected; // UTF-8
};

void runTextCases(const std::vector<TextCase> &cases)
{
  for (const TextCase &c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(decodeHeader(c.input), c.expected);
  }
}

} // namespace

TEST(DecodeBase64, Cases)
{
  runByteCases(decodeBase64, {
                                 {"w6k=", "\xC3\xA9"},
                                 {"SGVsbG8=", "Hello"},
                                 {"", ""},
                                 {"====", ""},
                                 // Zero bytes inside stay; only trailing ones go.
                                 {"AAAAQQ==", std::string("\0\0\0A", 4)},
                                 {"QQ==AAAA", "A"},
                                 // Not a multiple of four: the whole bytes of the cut group.
                                 {"SGVsbG8", "Hello"},
                                 {"SGVsbA", "Hell"},
                                 {"SGVsbG8gV", "Hello "},
                                 // Blanks inside are skipped; other strangers count as 0.
                                 {"w6 k=", "\xC3\xA9"},
                                 {"SGVs\r\n bG8=", "Hello"},
                                 {"w6k*", "\xC3\xA9"},
                                 // Cut to the capacity, always terminated.
                                 {"SGVsbG8=", "He", 3},
                                 {"SGVsbG8=", "", 1},
                             });
}

TEST(DecodeQuotedPrintable, Cases)
{
  runByteCases(decodeQuotedPrintable, {
                                          {"Caf=E9", "Caf\xE9"},
                                          {"caf=e9", "caf\xE9"},
                                          {"a_b", "a b"},
                                          {"=3d=3D", "=="},
                                          {"a b\tc\x80\xFF" "d", "abcd"},
                                          {"=00a", std::string("\0a", 2)},
                                          // "=" near the end ends the text.
                                          {"abc=4", "abc"},
                                          {"abc=", "abc"},
                                          // "=" before non-hex characters stays as it is.
                                          {"=ZZx", "=ZZx"},
                                          {"=4G", "=4G"},
                                          {"100=%x", "100=%x"},
                                          {"100=%", "100"},
                                          {"abcdef", "abc", 4},
                                      });
}

TEST(DecodeBytes, CapacityZeroWritesNothing)
{
  char guard = '#';
  EXPECT_EQ(decodeBase64("SGVsbG8=", &guard, 0), 0u);
  EXPECT_EQ(decodeQuotedPrintable("abc", &guard, 0), 0u);
  EXPECT_EQ(guard, '#');
}

TEST(DecodeHeaderText, WellFormed)
{
  runTextCases({
      {"=?iso-8859-1?Q?Caf=E9?=", "Café"},
      {"=?utf-8?B?w6k=?=", "é"},
      {"=?UTF-8?Q?=D0=9F?=", "П"},
      {"Re: =?koi8-r?B?8NLJ18XU?= ok", "Re: Привет ok"},
      {"=?iso-8859-1?Q?a_b?= =?iso-8859-1?Q?c?=", "a b c"},
      {"plain \x80 text", "plain € text"},
      {"", ""},
      {"=?shift_jis?B?k/qWe4zq?=", "日本語"},
      {"=?iso-2022-jp?B?GyRCRnxLXDhsGyhC?=", "日本語"},
  });
}

TEST(DecodeHeaderText, OtherEncodingLettersStayEncoded)
{
  runTextCases({
      {"=?ISO-8859-1?q?abc?=", "abc"},
      {"=?utf-8?b?w6k=?=", "w6k="},
      {"=?koi8-r?X?\xF0\xD2?=", "Пр"}, // converted with the charset all the same
      {"=?utf-8??abc?=", "abc"},
  });
}

// Input that real mailers produce.
TEST(DecodeHeaderText, BrokenRealWorldInput)
{
  runTextCases({
      // Glued words, without blanks between them.
      {"=?utf-8?Q?a?==?utf-8?Q?b?=", "ab"},
      {"=?utf-8?B?w6k=?==?utf-8?B?w6k=?=", "éé"},
      // Blanks inside the encoded text.
      {"=?utf-8?Q?a b?=", "ab"},
      {"=?utf-8?B?w6 k=?=", "é"},
      // Unknown charsets read as the ANSI code page, and so do the 16-bit
      // ones, which no 8-bit header text can carry.
      {"=?x-unknown?Q?=E9?=", "é"},
      {"=?unicode?Q?a?= tail", "a tail"},
      {"=?unicodeFFFE?B?QUI=?= x", "AB x"},
      {"=?latin1?Q?=E9?=", "é"},
      {"=?x-foo?B?w6k=?=", "Ã©"},
      {"=??Q?abc?=", "abc"},
      // Cut "=?...": from the malformed word on, plain text.
      {"Subject =?utf-8?Q?abc", "Subject =?utf-8?Q?abc"},
      {"=?utf-8?Q?a?= and =?utf-8?B?w6k", "a and =?utf-8?B?w6k"},
      {"abc=?", "abc=?"},
      {"=?utf-8?Q?", "=?utf-8?Q?"},
      {"=?utf-8?Q?x?", "=?utf-8?Q?x?"},
      // A base64 word whose padding is lost.
      {"=?utf-8?B?w6k?=", "é"},
      // A zero byte decoded in the middle ends that word's text.
      {"=?utf-8?Q?a=00b?=c", "ac"},
  });
}

TEST(DecodeHeaderText, DelimitersAreOverwrittenInPlace)
{
  char value[] = "x=?utf-8?Q?a?=y";
  WCHAR out[16];
  decodeHeaderText(value, out, 16);
  EXPECT_EQ(std::u16string(out), u"xay");
  const char expected[] = "x\0\0utf-8\0Q\0a\0\0y";
  EXPECT_EQ(std::memcmp(value, expected, sizeof value), 0);
}

// Values longer than the buffer are cut after the last whole character that
// fits; nothing after the cut is written, not even a shorter later piece.
TEST(DecodeHeaderText, CutToTheCapacity)
{
  EXPECT_EQ(decodeHeader("abcdefgh", 5), "abcd");
  EXPECT_EQ(decodeHeader("=?utf-8?Q?ab?=cdefg", 5), "abcd");
  EXPECT_EQ(decodeHeader("=?utf-8?Q?abcdef?= x", 4), "abc");
  EXPECT_EQ(decodeHeader("ab", 3), "ab");
  EXPECT_EQ(decodeHeader("abc", 3), "ab");
  // A surrogate pair is never split.
  EXPECT_EQ(decodeHeader("=?utf-8?Q?a=F0=9D=84=9E?=", 3), "a");
  EXPECT_EQ(decodeHeader("=?utf-8?Q?a=F0=9D=84=9E?=", 4), "a\xF0\x9D\x84\x9E");
  EXPECT_EQ(decodeHeader("abc", 1), "");

  char value[] = "abc";
  WCHAR guard = u'#';
  decodeHeaderText(value, &guard, 0);
  EXPECT_EQ(guard, u'#');
}
