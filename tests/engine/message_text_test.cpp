#include "engine/message_text.h"
#include "platform/text/wstr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::int32_t codePageOf(const std::vector<const char *> &lines)
{
  ContentTypeCharset state;
  for (const char *line : lines)
    scanContentTypeLine(&state, line);
  return state.codePage;
}

std::string textOf(const std::string &message)
{
  IStream *s = nullptr;
  EXPECT_EQ(CreateStreamOnMemory(message.data(), message.size(), &s), S_OK);
  std::u16string text;
  readMessageText(s, &text);
  s->Release();
  return utf16ToUtf8(text);
}

} // namespace

TEST(ContentTypeCharset, Cases)
{
  struct Case {
    const char *name;
    std::vector<const char *> lines;
    std::int32_t codePage;
  };
  const Case cases[] = {
      {"double quotes", {"Content-Type: text/plain; charset=\"koi8-r\""}, 20866},
      {"single quotes", {"Content-Type: text/plain; charset='iso-8859-5'"}, 28595},
      {"any case", {"content-TYPE: text/plain; CHARSET=utf-8"}, 65001},
      {"more parameters after it", {"Content-Type: text/plain; charset=utf-8; format=flowed"}, 65001},
      {"quoted, more parameters", {"Content-Type: text/plain; charset=\"koi8-r\"; delsp=yes"}, 20866},
      {"blank after it", {"Content-Type: text/plain; charset=utf-8 "}, 65001},
      {"unclosed quote", {"Content-Type: text/plain; charset=\"utf-8"}, 65001},
      {"tab continuation", {"Content-Type: text/plain;", "\tcharset=windows-1251"}, 1251},
      {"space continuation", {"Content-Type: text/plain;", "  charset=windows-1251"}, 1251},
      {"second continuation", {"Content-Type: text/plain;", "\tformat=flowed;", "\tcharset=koi8-u"}, 21866},
      {"other line ends it", {"Content-Type: text/plain;", "Subject: x", "\tcharset=utf-8"}, 0},
      {"last find wins", {"Content-Type: a; charset=utf-8", "Content-Type: b; charset=koi8-r"}, 20866},
      {"unknown name", {"Content-Type: a; charset=latin1"}, 0},
      {"unknown later name overrides", {"Content-Type: a; charset=utf-8", "\tcharset=bogus"}, 0},
      {"empty value", {"Content-Type: text/plain; charset="}, 0},
      {"not the header", {"X-Content-Type: text/plain; charset=utf-8"}, 0},
      {"no colon", {"Content-Type text/plain; charset=utf-8"}, 0},
      {"other header", {"Subject: charset=utf-8"}, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(codePageOf(c.lines), c.codePage);
  }
}

TEST(MessageText, BodyLinesConvertWithTheHeadersCharset)
{
  EXPECT_EQ(textOf("Subject: x\r\nContent-Type: text/plain;\r\n\tcharset=\"koi8-r\"\r\n\r\n"
                   "\xF0\xD2\xC9\xD7\xC5\xD4\r\n\xCD\xC9\xD2\r\n"),
            "Привет\r\nмир\r\n");
  // Without a charset: the ANSI code page.
  EXPECT_EQ(textOf("Subject: x\r\n\r\nCaf\xE9\r\n"), "Café\r\n");
  // Empty body lines stay; a last line without a break is not read.
  EXPECT_EQ(textOf("\r\na\r\n\r\nb\nlast"), "a\r\n\r\nb\r\n");
  // No empty line: everything is header.
  EXPECT_EQ(textOf("Subject: x\r\nTo: y\r\n"), "");
}

TEST(MessageText, LongestLineKeepsItsLineEnd)
{
  std::string longLine(1022, 'x');
  EXPECT_EQ(textOf("\r\n" + longLine + "\r\nnext\r\n"), longLine + "\r\nnext\r\n");
}
