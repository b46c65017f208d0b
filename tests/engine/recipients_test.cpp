#include "engine/mapi_refs.h"
#include "engine/recipients.h"
#include "tests/engine/engine_scene.h"

namespace {

struct InfoDeleter {
  void operator()(MessageInfo *m) const { freeMessageInfo(m); }
};
using InfoPtr = std::unique_ptr<MessageInfo, InfoDeleter>;

class RecipientsTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
    other = memAddFolder(memTop(store), u"Other");
    openSession();
    ASSERT_NE(session, nullptr);
  }

  // A record for a new message with these headers, its recipients empty.
  InfoPtr recordFor(const std::string &headers)
  {
    message = memAddMessage(other, {.text = headers});
    MapiEntryBytes id = memEntryId(memObject(message));
    return InfoPtr(newMessageInfo(static_cast<std::uint32_t>(id.size()), id.data()));
  }

  ULONG headerOpens() const { return memCallCount(world(), MapiCall::PropOpenProperty); }

  MemStore *store = nullptr;
  MemFolder *other = nullptr;
  MemMessage *message = nullptr;
};

} // namespace

TEST_F(RecipientsTest, LinesFromTheHeaderSection)
{
  struct Case {
    const char *name;
    std::string headers;
    std::u16string to;
    std::u16string cc;
  };
  const Case cases[] = {
      {"both, reduced to bare addresses", "To: John <j@x>\r\nCC: =?iso-8859-1?Q?Ren=E9?= <r@x>\r\n\r\n", u"j@x",
       u"r@x"},
      {"decoded text without brackets stays", "To: =?iso-8859-1?Q?Caf=E9?=\r\n\r\n", u"Caf\u00e9", u""},
      {"first To line wins", "To: a@x\r\nTo: b@x\r\n\r\n", u"a@x", u""},
      {"names ignore case", "tO: a@x\r\nCc: c@x\r\n\r\n", u"a@x", u"c@x"},
      {"no blank after the colon gives nothing", "To:a@x\r\n\r\n", u"", u""},
      {"a folded line gives its first line", "To: a@x,\r\n b@x\r\n\r\n", u"a@x,", u""},
      {"lines after the header section are not read", "Subject: s\r\n\r\nTo: a@x\r\n", u"", u""},
      {"several addresses: the last in brackets", "To: <a@x>, <b@x>\r\n\r\n", u"b@x", u""},
      {"an empty value leaves the line for a later one", "To: \r\nTo: late@x\r\n\r\n", u"late@x", u""},
  };
  for (const Case &c : cases) {
    InfoPtr info = recordFor(c.headers);
    fillRecipientsFromHeaders(info.get(), nullptr);
    EXPECT_EQ(std::u16string(info->toLine), c.to) << c.name;
    EXPECT_EQ(std::u16string(info->ccLine), c.cc) << c.name;
    EXPECT_EQ(info->headersParsed, 1) << c.name;
  }
}

TEST_F(RecipientsTest, LongValueIsCutTo127Units)
{
  InfoPtr info = recordFor("To: " + std::string(300, 'a') + "\r\n\r\n");
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(std::u16string(info->toLine), std::u16string(127, u'a'));
}

TEST_F(RecipientsTest, KnownRecipientsKeepTheHeadersClosed)
{
  InfoPtr info = recordFor("To: a@x\r\nCC: c@x\r\n\r\n");
  wstrCopy(info->toLine, MESSAGE_TEXT_CHARS, u"store@x");
  ULONG opens = headerOpens();
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(headerOpens(), opens) << "a To line from the store is enough, even with an empty CC line";
  EXPECT_EQ(info->headersParsed, 1);
  EXPECT_EQ(std::u16string(info->ccLine), u"");

  InfoPtr parsed = recordFor("To: a@x\r\n\r\n");
  parsed->headersParsed = 1;
  fillRecipientsFromHeaders(parsed.get(), nullptr);
  EXPECT_EQ(headerOpens(), opens) << "headers are read once";
  EXPECT_EQ(std::u16string(parsed->toLine), u"");
}

TEST_F(RecipientsTest, FailuresLeaveTheFlagClearForALaterTry)
{
  InfoPtr info = recordFor("To: a@x\r\n\r\n");
  memFailCall(world(), MapiCall::PropOpenProperty, 1, MAPI_E_CALL_FAILED);
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(info->headersParsed, 0);
  memFailCall(world(), MapiCall::SessionOpenEntry, 1, MAPI_E_NOT_FOUND);
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(info->headersParsed, 0);
  memThrowOnCall(world(), MapiCall::SessionOpenEntry, 1);
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(info->headersParsed, 0);
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(info->headersParsed, 1);
  EXPECT_EQ(std::u16string(info->toLine), u"a@x");
}

TEST_F(RecipientsTest, AbsentHeadersAreKnownOnceLikeRecipients)
{
  message = memAddMessage(other, {.from = u"a@x"}); // no To, no CC, no Internet text
  MapiEntryBytes id = memEntryId(memObject(message));
  InfoPtr info(newMessageInfo(static_cast<std::uint32_t>(id.size()), id.data()));
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(info->headersParsed, 1) << "nothing there is an answer, not a failure";
  EXPECT_EQ(std::u16string(info->toLine), u"");

  // Such a message in the Inbox: its record is looked at at every revisit,
  // and its headers are asked for only when it is first seen.
  memAddMessage(memInbox(store), {.from = u"ann@x"});
  settle();
  ULONG opens = headerOpens();
  ULONG messageOpens = memCallCount(world(), MapiCall::SessionOpenEntry);
  tick();
  tick();
  EXPECT_EQ(headerOpens(), opens);
  EXPECT_EQ(memCallCount(world(), MapiCall::SessionOpenEntry), messageOpens);
}

TEST_F(RecipientsTest, RaisingReadKeepsWhatWasStored)
{
  // The To line comes with the first read of 128 bytes; the second read raises.
  InfoPtr info = recordFor("To: a@x\r\n" + std::string(200, 'X') + "\r\nCC: c@x\r\n\r\n");
  memThrowOnCall(world(), MapiCall::StreamRead, 2);
  fillRecipientsFromHeaders(info.get(), nullptr);
  EXPECT_EQ(std::u16string(info->toLine), u"a@x");
  EXPECT_EQ(std::u16string(info->ccLine), u"");
  EXPECT_EQ(info->headersParsed, 0);
}
