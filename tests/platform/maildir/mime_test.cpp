// MIME parameters and the attachment test.
#include "platform/maildir/header_section.h"
#include "platform/maildir/mime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Mime, Parameters)
{
  MimeHeader h = parseMimeHeader("Multipart/Mixed (comment); boundary=\"a;b\" ; charset = utf-8 ;"
                                 " junk ; title*0*=utf-8'en'caf%C3%A9%20; title*1=\"x y\"");
  EXPECT_EQ(h.type, "multipart");
  EXPECT_EQ(h.subtype, "mixed");
  EXPECT_EQ(*findParam(h, "boundary"), "a;b");
  EXPECT_EQ(*findParam(h, "charset"), "utf-8");
  EXPECT_EQ(*findParam(h, "title"), "caf\xC3\xA9 x y");
  MimeHeader d = parseMimeHeader("attachment; filename*=iso-8859-1''na%EFve.txt");
  EXPECT_EQ(d.type, "attachment");
  EXPECT_EQ(*findParam(d, "filename"), "na\xEFve.txt");
  EXPECT_EQ(parseMimeHeader("").type, "");
  EXPECT_EQ(findParam(parseMimeHeader("text/plain; =x; name"), "name"), nullptr);
}

struct AttachCase {
  const char *what;    // what the message is
  std::string message; // its text
  bool attached;       // expected result
};

std::string multipart(const std::string &subtype, const std::string &parts)
{
  return "Content-Type: multipart/" + subtype + "; boundary=\"BB\"\r\n\r\npreamble\r\n" + parts +
         "--BB--\r\nepilogue\r\n";
}

const std::string TEXT_PART = "--BB\r\nContent-Type: text/plain\r\n\r\nhello\r\n";
const std::string HTML_PART = "--BB\r\nContent-Type: text/html\r\n\r\n<p>hello</p>\r\n";

std::vector<AttachCase> attachCases()
{
  return {
      {"plain text", "Subject: x\r\n\r\nhello\r\n", false},
      {"no headers", "hello\r\n", false},
      {"pdf in mixed", multipart("mixed", TEXT_PART +
                                              "--BB\r\nContent-Type: application/pdf\r\n\r\n%PDF\r\n"),
       true},
      {"alternative", multipart("alternative", TEXT_PART + HTML_PART), false},
      {"related image",
       multipart("related", HTML_PART + "--BB\r\nContent-Type: image/png; name=a.png\r\n"
                                         "Content-Disposition: inline; filename=a.png\r\n"
                                         "Content-ID: <a>\r\n\r\niVBOR\r\n"),
       false},
      {"text attachment",
       multipart("mixed", TEXT_PART + "--BB\r\nContent-Type: text/plain\r\n"
                                      "Content-Disposition: attachment\r\n\r\nnotes\r\n"),
       true},
      {"named text", multipart("mixed", TEXT_PART + "--BB\r\nContent-Type: text/plain; name=x.txt\r\n\r\nx\r\n"),
       true},
      {"rfc2231 filename",
       multipart("mixed", TEXT_PART + "--BB\r\nContent-Disposition: inline; filename*0=a; filename*1=b\r\n\r\nx\r\n"),
       true},
      {"signed", multipart("signed", TEXT_PART +
                                         "--BB\r\nContent-Type: application/pgp-signature\r\n\r\nsig\r\n"),
       false},
      {"forwarded message",
       multipart("mixed", TEXT_PART + "--BB\r\nContent-Type: message/rfc822\r\n\r\nSubject: in\r\n\r\nx\r\n"),
       true},
      {"digest defaults to messages", multipart("digest", "--BB\r\n\r\nSubject: a\r\n\r\nx\r\n"), true},
      {"file as the whole body", "Content-Type: application/octet-stream\r\n\r\nMZ\x90\r\n", true},
      {"header-only file", "Content-Type: application/octet-stream\r\n", false},
      {"header-only multipart", "Content-Type: multipart/mixed; boundary=BB\r\n\r\n", false},
      {"no boundary parameter", "Content-Type: multipart/mixed\r\n\r\n--BB\r\n\r\nx\r\n", false},
      {"never closed",
       "Content-Type: multipart/mixed; boundary=BB\r\n\r\n--BB\r\nContent-Type: image/gif\r\n\r\nGIF",
       true},
      {"longer boundary is not a delimiter",
       "Content-Type: multipart/mixed; boundary=B\r\n\r\n--B\r\nContent-Type: text/plain\r\n\r\n"
       "--BX\r\nContent-Type: image/gif\r\n\r\nGIF\r\n--B--\r\n",
       false},
      {"nested", multipart("mixed", "--BB\r\nContent-Type: multipart/alternative; boundary=CC\r\n\r\n"
                                    "--CC\r\n\r\na\r\n--CC\r\nContent-Type: text/html\r\n\r\nb\r\n--CC--\r\n" +
                                        std::string("--BB\r\nContent-Type: image/jpeg\r\n\r\nJFIF\r\n")),
       true},
      {"LF line ends", "Content-Type: multipart/mixed; boundary=BB\n\n--BB\n\nx\n--BB\n"
                       "Content-Disposition: attachment; filename=a\n\nx\n--BB--\n",
       true},
  };
}

TEST(Mime, AttachmentDetection)
{
  for (const AttachCase &c : attachCases())
    EXPECT_EQ(messageHasAttachments(c.message), c.attached) << c.what;
}

Attachments verdictOnFirst(const std::string &message, std::size_t n)
{
  std::string_view first(message.data(), n);
  return attachmentsInFirstBytes(first, parseHeaderSection(first), n < message.size());
}

// A reader stops at the first bytes that decide: whatever they say must be
// what the whole message says, at every length, one byte at a time.
TEST(Mime, FirstBytesNeverContradictTheWhole)
{
  for (const AttachCase &c : attachCases()) {
    Attachments whole = c.attached ? Attachments::Found : Attachments::None;
    for (std::size_t n = 0; n < c.message.size(); ++n) {
      Attachments v = verdictOnFirst(c.message, n);
      ASSERT_TRUE(v == Attachments::Unknown || v == whole) << c.what << ", first " << n << " bytes";
    }
    EXPECT_EQ(verdictOnFirst(c.message, c.message.size()), whole) << c.what;
  }
}

TEST(Mime, FirstBytesDecideEarly)
{
  const std::string plain = "Subject: x\r\nContent-Type: text/plain\r\n\r\n" + std::string(5000, 'a');
  EXPECT_EQ(verdictOnFirst(plain, plain.find("\r\n\r\n") + 4), Attachments::None); // its headers say it
  const std::string attachment = "--BB\r\nContent-Type: application/pdf; name=a.pdf\r\n\r\n";
  const std::string mixed = multipart("mixed", TEXT_PART + attachment + std::string(5000, 'Q') + "\r\n");
  std::size_t afterHeaders = mixed.find(attachment) + attachment.size();
  EXPECT_EQ(verdictOnFirst(mixed, afterHeaders), Attachments::Found);
  EXPECT_EQ(verdictOnFirst(mixed, afterHeaders - 3), Attachments::Unknown); // its headers not yet ended
  const std::string alternative = multipart("alternative", TEXT_PART + HTML_PART);
  EXPECT_EQ(verdictOnFirst(alternative, alternative.find("--BB--")), Attachments::Unknown); // a part may follow
  EXPECT_EQ(verdictOnFirst(alternative, alternative.find("--BB--") + 6), Attachments::None);
}

TEST(Mime, DeepNestingEndsWithoutFault)
{
  std::string msg;
  for (int i = 0; i < 500; ++i)
    msg += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" +
           std::to_string(i) + "\r\n";
  msg += "Content-Type: image/png\r\n\r\nx";
  EXPECT_FALSE(messageHasAttachments(msg)); // too deep to be followed
}

} // namespace
