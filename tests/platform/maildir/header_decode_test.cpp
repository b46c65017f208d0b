// Header texts of message files: unfolding, encoded words, addresses.
#include "platform/maildir/address.h"
#include "platform/maildir/encoded_words.h"
#include "platform/maildir/header_section.h"
#include "platform/maildir/message_summary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DecodeCase {
  const char *input;      // unfolded header value
  const char *fallback;   // the message's charset
  const char16_t *output; // decoded text
};

const DecodeCase DECODE_CASES[] = {
    {"plain text", "", u"plain text"},
    {"=?iso-8859-1?Q?Caf=E9?=", "", u"Caf\u00E9"},
    {"=?utf-8?B?w6k=?=", "", u"\u00E9"},
    {"=?utf-8?b?w6k=?=", "", u"\u00E9"},                     // lower-case letter
    {"=?koi8-r?B?8NLJ18XU?=", "", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
    {"=?iso-8859-1?Q?a_b?= =?iso-8859-1?Q?c?=", "", u"a bc"}, // blank between words dropped
    {"=?utf-8?q?a?=\t \t=?utf-8?q?b?=", "", u"ab"},
    {"=?utf-8?q?a?= b =?utf-8?q?c?=", "", u"a b c"},          // text between words stays
    {"=?utf-8?B?4oI=?= =?utf-8?B?rA==?=", "", u"\u20AC"},     // a character split in two words
    {"=?utf-8?B?4oI=?= =?iso-8859-1?Q?x?=", "", u"\uFFFDx"},  // not joined across charsets
    {"=?UTF-8*en?Q?Hi?=", "", u"Hi"},                        // RFC 2231 language
    {"=?x-no-such-charset?Q?abc?=", "", u"abc"},
    {"=?x-no-such-charset?Q?=C3=A9?=", "", u"\u00E9"},        // unknown charset: UTF-8 when it is
    {"=?utf-8?Q?abc", "", u"=?utf-8?Q?abc"},                  // cut word stays as written
    {"=?utf-8?X?abc?=", "", u"=?utf-8?X?abc?="},              // unknown encoding stays
    {"=??Q?abc?=", "", u"=??Q?abc?="},
    {"a =?utf-8?q?b?=c", "", u"a bc"},                        // glued to a word
    {"=?utf-8?q?line=0Abreak=00?=", "", u"line break\uFFFD"},
    {"=?utf-8?q?bad=ZZhex?=", "", u"bad=ZZhex"},
    {"=?utf-8?B?!!w6k=?=", "", u"\u00E9"},                    // junk in base64 skipped
    {"Gr\xC3\xBC\xC3\x9F" "e", "", u"Gr\u00FC\u00DFe"},       // raw UTF-8
    {"Caf\xE9", "", u"Caf\u00E9"},                            // raw, not UTF-8: Windows-1252
    {"\xF0\xD2", "koi8-r", u"\u041F\u0440"},                  // raw in the message's charset
    {"\xF0\xD2", "bogus", u"\u00F0\u00D2"},
};

TEST(HeaderDecode, EncodedWordsAndRawText)
{
  for (const DecodeCase &c : DECODE_CASES)
    EXPECT_EQ(decodeHeaderValue(c.input, c.fallback), std::u16string(c.output)) << c.input;
}

TEST(HeaderDecode, UnfoldsAndEndsAtTheEmptyLine)
{
  HeaderSection hs = parseHeaderSection("From x@y Mon Jan 1\n"   // mbox line: skipped
                                        "Subject: a\r\n b\r\n\tc \r\n"
                                        "X-Empty:\r\n"
                                        "Bad Name: skipped\r\n"
                                        "Subject : second\r\n"
                                        "\r\n"
                                        "To: body@x\r\n");
  ASSERT_EQ(hs.fields.size(), 3u);
  EXPECT_EQ(hs.fields[0].value, "a b\tc");
  EXPECT_EQ(hs.fields[1].value, "");
  EXPECT_EQ(hs.fields[2].name, "Subject");
  EXPECT_EQ(*findHeader(hs, "subject"), "a b\tc");
  EXPECT_EQ(findHeader(hs, "To"), nullptr);
  EXPECT_EQ(hs.bodyOffset, std::string_view("From x@y Mon Jan 1\nSubject: a\r\n b\r\n\tc \r\n"
                                            "X-Empty:\r\nBad Name: skipped\r\nSubject : second\r\n\r\n")
                               .size());
}

struct AddressCase {
  const char *input;   // header value
  const char *name;    // display name
  const char *address; // address
};

const AddressCase ADDRESS_CASES[] = {
    {"John Smith <john@x.org>", "John Smith", "john@x.org"},
    {"\"Smith, John\" <j@x>", "Smith, John", "j@x"},
    {"\"a \\\"q\\\" b\" <j@x>", "a \"q\" b", "j@x"},
    {"j@x (John (the) Smith)", "John (the) Smith", "j@x"},
    {"j@x", "", "j@x"},
    {"  John   Smith  < j @ x >", "John Smith", "j@x"},
    {"team: a@b, c@d;", "", "a@b"},
    {"a@b, c@d", "", "a@b"},
    {"<@route,@r2:u@h>", "", "u@h"},
    {"Undisclosed recipients:;", "", ""},
    {"Broken <no-close", "Broken", "no-close"},
    {"", "", ""},
};

TEST(HeaderDecode, FirstMailbox)
{
  for (const AddressCase &c : ADDRESS_CASES) {
    Mailbox m = parseFirstMailbox(c.input);
    EXPECT_EQ(m.displayName, c.name) << c.input;
    EXPECT_EQ(m.address, c.address) << c.input;
  }
}

TEST(MessageSummary, PropertiesFromHeaders)
{
  MessageSummary m = summarizeHeaders("From: =?utf-8?q?J=C3=B6rg?= <jorg@x.de>\r\n"
                                      "To: A <a@x>, b@x\r\n"
                                      "Cc: =?iso-8859-1?q?Ren=E9?= <r@x>\r\n"
                                      "Subject: =?utf-8?B?w6k=?= and\r\n more\r\n"
                                      "\r\n"
                                      "Subject: not this\r\n");
  EXPECT_EQ(*m.senderName, u"J\u00F6rg");
  EXPECT_EQ(*m.senderAddress, u"jorg@x.de");
  EXPECT_EQ(*m.displayTo, u"A <a@x>, b@x");
  EXPECT_EQ(*m.displayCc, u"Ren\u00E9 <r@x>");
  EXPECT_EQ(*m.subject, u"\u00E9 and more");
}

TEST(MessageSummary, SenderFallbacks)
{
  MessageSummary bare = summarizeHeaders("From: a@x\n\n");
  EXPECT_EQ(*bare.senderName, u"a@x"); // no display name: the address
  MessageSummary sender = summarizeHeaders("Sender: List <list@x>\n\n");
  EXPECT_EQ(*sender.senderAddress, u"list@x");
  MessageSummary none = summarizeHeaders("Subject: s\n\n");
  EXPECT_FALSE(none.senderName);
  EXPECT_FALSE(none.senderAddress);
  EXPECT_FALSE(none.displayTo);
}

TEST(MessageSummary, RawHeaderBytesInTheMessageCharset)
{
  MessageSummary m = summarizeHeaders("Content-Type: text/plain; charset=\"koi8-r\"\n"
                                      "Subject: \xF0\xD2\n\n");
  EXPECT_EQ(*m.subject, u"\u041F\u0440");
}

TEST(MessageSummary, BadInputGivesAbsentOrCutTexts)
{
  // No header section at all.
  MessageSummary noHeaders = summarizeHeaders("Just a line of text\nand another\n");
  EXPECT_FALSE(noHeaders.subject);
  EXPECT_FALSE(noHeaders.senderAddress);
  // Binary junk.
  std::string junk;
  for (int i = 0; i < 4096; ++i)
    junk.push_back(static_cast<char>((i * 7919) & 0xFF));
  MessageSummary j = summarizeHeaders(junk);
  if (j.subject) {
    EXPECT_LE(j.subject->size(), MAX_TEXT_UNITS);
  }
  // A 10 MB header line: kept, cut to the limit.
  std::string huge = "Subject: " + std::string(10 * 1024 * 1024, 'x') + "\n\nbody";
  MessageSummary h = summarizeHeaders(huge);
  ASSERT_TRUE(h.subject);
  EXPECT_EQ(h.subject->size(), MAX_TEXT_UNITS);
  EXPECT_EQ(h.headerLength, huge.size() - 4);
  // An empty message.
  EXPECT_FALSE(summarizeHeaders("").subject);
}

TEST(MessageSummary, EveryPrefixOfAMessageReadsWithoutFault)
{
  std::string msg = "From: \"A, B\" <ab@x>\r\nSubject: =?utf-8?q?caf=C3=A9?= x\r\n"
                    "Content-Type: multipart/mixed; boundary=zz\r\n\r\n--zz\r\n\r\nhi\r\n--zz--\r\n";
  MessageSummary whole = summarizeHeaders(msg);
  for (std::size_t n = 0; n <= msg.size(); ++n) {
    MessageSummary m = summarizeHeaders(std::string_view(msg).substr(0, n));
    if (n >= whole.headerLength) {
      EXPECT_EQ(m.subject, whole.subject) << n;
    }
  }
}

} // namespace
