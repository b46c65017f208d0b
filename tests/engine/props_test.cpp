#include "engine/mapi_refs.h"
#include "engine/props.h"
#include "tests/engine/engine_scene.h"

#include <climits>

namespace {

// Messages are put into a folder the processing never looks at.
class PropsTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    store = memAddStore(world(), u"Mail");
    other = memAddFolder(memTop(store), u"Other");
    openSession();
    ASSERT_NE(session, nullptr);
  }

  MemMessage *add(const MemMessageFields &fields) { return memAddMessage(other, fields); }

  static ComRef<IMAPIProp> open(MemMessage *m)
  {
    MapiEntryBytes id = memEntryId(memObject(m));
    ComRef<IMAPIProp> message;
    HRESULT hr = session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                    nullptr, 0, nullptr, message.putUnknown());
    EXPECT_EQ(hr, S_OK);
    return message;
  }

  MemStore *store = nullptr;
  MemFolder *other = nullptr;
};

constexpr ULONG FILETIME_PER_SECOND = 10000000;

} // namespace

TEST_F(PropsTest, MissingOrMistypedPropertiesHaveNoValue)
{
  MemMessage *m = add({.noDeliveryTime = true});
  // PR_MESSAGE_FLAGS stored as a text: it comes back under another tag.
  memSetProp(memObject(m), mapiText(CHANGE_PROP_TYPE(PR_MESSAGE_FLAGS, PT_UNICODE), u"1"), false);
  memSetProp(memObject(m), mapiLong(CHANGE_PROP_TYPE(PR_SUBJECT, PT_LONG), 7), false);
  ComRef<IMAPIProp> msg = open(m);
  WCHAR buffer[8] = {u'x', u'x', 0};
  EXPECT_EQ(getLong(msg.get(), PR_MESSAGE_FLAGS), 0);
  EXPECT_EQ(getLong(msg.get(), PR_CONTENT_COUNT), 0);
  EXPECT_FALSE(getBool(msg.get(), PR_HASATTACH));
  EXPECT_EQ(getMinutesSince(msg.get(), PR_MESSAGE_DELIVERY_TIME), 0);
  EXPECT_EQ(getString(msg.get(), PR_SUBJECT, buffer, 8), nullptr);
  EXPECT_EQ(getString(msg.get(), PR_SENDER_NAME, buffer, 8), nullptr);
  EXPECT_EQ(std::u16string(buffer), u"xx") << "a buffer without a value is left alone";
}

TEST_F(PropsTest, StringsAreCutAndPadded)
{
  struct Case {
    const char *name;
    std::u16string value;
    std::size_t capacity;
    std::u16string expected;
  };
  const std::u16string smile = u"\U0001F600";
  const Case cases[] = {
      {"200 characters into 128", std::u16string(200, u'a'), 128, std::u16string(127, u'a')},
      {"exactly 127 fit", std::u16string(127, u'b'), 128, std::u16string(127, u'b')},
      {"a pair the cut would split goes whole", std::u16string(126, u'c') + smile, 128,
       std::u16string(126, u'c')},
      {"a pair that fits stays", std::u16string(125, u'd') + smile, 128, std::u16string(125, u'd') + smile},
      {"empty value", u"", 4, u""},
      {"capacity 1 holds only the terminator", u"abc", 1, u""},
  };
  for (const Case &c : cases) {
    MemMessage *m = add({.subject = c.value});
    ComRef<IMAPIProp> msg = open(m);
    std::vector<WCHAR> buffer(c.capacity + 1, u'#');
    ASSERT_EQ(getString(msg.get(), PR_SUBJECT, buffer.data(), c.capacity), buffer.data()) << c.name;
    EXPECT_EQ(std::u16string(buffer.data()), c.expected) << c.name;
    for (std::size_t i = c.expected.size(); i < c.capacity; ++i)
      EXPECT_EQ(buffer[i], 0) << c.name << ": unit " << i << " is padded";
    EXPECT_EQ(buffer[c.capacity], u'#') << c.name << ": nothing written past the capacity";
  }
}

TEST_F(PropsTest, BooleanIsTrueOnlyForOne)
{
  const std::pair<unsigned short, bool> cases[] = {{1, true}, {0, false}, {2, false}, {0x101, false}};
  for (auto [stored, expected] : cases) {
    MemMessage *m = add({.attach = stored});
    EXPECT_EQ(getBool(open(m).get(), PR_HASATTACH), expected) << stored;
  }
}

TEST_F(PropsTest, MinutesSinceTruncateAndClamp)
{
  const ULONGLONG now = SCENE_START_TIME;
  struct Case {
    const char *name;
    ULONGLONG delivered;
    LONG expected;
  };
  const Case cases[] = {
      {"90 seconds ago", now - 90ULL * FILETIME_PER_SECOND, 1},
      {"59 seconds ago", now - 59ULL * FILETIME_PER_SECOND, 0},
      {"just now", now, 0},
      {"two minutes ahead", now + 120ULL * FILETIME_PER_SECOND, -2},
      {"90 seconds ahead truncates toward zero", now + 90ULL * FILETIME_PER_SECOND, -1},
      {"a day ago", now - 86400ULL * FILETIME_PER_SECOND, 1440},
  };
  for (const Case &c : cases) {
    MemMessage *m = add({.delivered = c.delivered});
    EXPECT_EQ(getMinutesSince(open(m).get(), PR_MESSAGE_DELIVERY_TIME), c.expected) << c.name;
  }
  // Beyond the 32-bit range of minutes in both directions.
  MemMessage *old = add({.delivered = 0});
  MemMessage *future = add({.delivered = 0x7FFF000000000000ULL});
  clockSetForTest(SCENE_START_TICK, 0x7FFF000000000000ULL);
  EXPECT_EQ(getMinutesSince(open(old).get(), PR_MESSAGE_DELIVERY_TIME), INT_MAX);
  clockSetForTest(SCENE_START_TICK, 0);
  EXPECT_EQ(getMinutesSince(open(future).get(), PR_MESSAGE_DELIVERY_TIME), INT_MIN);
}

TEST_F(PropsTest, RecipientsFromTheStoreFirst)
{
  // An empty To value is a value: CC and the headers are never read.
  MemMessage *m = add({.to = u"", .cc = u"carol@example.org", .text = "To: x@example.org\r\n\r\n"});
  ComRef<IMAPIProp> msg = open(m);
  WCHAR to[32] = {u'#', 0};
  WCHAR cc[32] = {u'#', 0};
  ULONG opens = memCallCount(world(), MapiCall::PropOpenProperty);
  EXPECT_TRUE(getRecipients(msg.get(), to, cc, 32));
  EXPECT_EQ(std::u16string(to), u"");
  EXPECT_EQ(std::u16string(cc), u"#");
  EXPECT_EQ(memCallCount(world(), MapiCall::PropOpenProperty), opens);

  // Without a To buffer, the CC value is taken.
  EXPECT_TRUE(getRecipients(msg.get(), nullptr, cc, 32));
  EXPECT_EQ(std::u16string(cc), u"carol@example.org");
}

TEST_F(PropsTest, RecipientsFromTheHeaders)
{
  struct Case {
    const char *name;
    std::string headers;
    bool askTo;
    bool askCc;
    bool expected;
    std::u16string to;   // expected To buffer ("#" untouched)
    std::u16string cc;   // expected CC buffer
    ULONG writtenTag;    // property written back, 0 for none
  };
  const Case cases[] = {
      {"CC line before the To line: only CC", "Subject: s\r\nCC: Ann <ann@x>\r\nTo: bob@x\r\n\r\n", true, true,
       true, u"#", u"Ann <ann@x>", PR_DISPLAY_CC},
      {"To line", "From: f\r\nTo:   bob@x\r\n\r\n", true, true, true, u"bob@x", u"#", PR_DISPLAY_TO},
      {"names ignore case", "cc: \tcarol@x\r\n\r\n", true, true, true, u"#", u"carol@x", PR_DISPLAY_CC},
      {"CC not asked for", "CC: carol@x\r\nTo: dan@x\r\n\r\n", true, false, true, u"dan@x", u"#", PR_DISPLAY_TO},
      {"only a CC line, To asked for", "CC: carol@x\r\n\r\n", true, false, false, u"#", u"#", 0},
      {"encoded word", "To: =?utf-8?B?w6k=?= <e@x>\r\n\r\n", true, true, true, u"\u00e9 <e@x>", u"#",
       PR_DISPLAY_TO},
      {"To: in the body does not count", "Subject: s\r\n\r\nTo: body@x\r\n", true, true, false, u"#", u"#", 0},
      {"no blank after the colon", "To:bob@x\r\n\r\n", true, true, false, u"#", u"#", 0},
      {"value cut to the buffer", "To: abcdefghijklmnopqrstuvwxyz\r\n\r\n", true, true, true,
       u"abcdefghijklmno", u"#", PR_DISPLAY_TO},
  };
  for (const Case &c : cases) {
    MemMessage *m = add({.text = c.headers});
    ComRef<IMAPIProp> msg = open(m);
    WCHAR to[16] = {u'#', 0};
    WCHAR cc[16] = {u'#', 0};
    EXPECT_EQ(getRecipients(msg.get(), c.askTo ? to : nullptr, c.askCc ? cc : nullptr, 16), c.expected) << c.name;
    EXPECT_EQ(std::u16string(to), c.to) << c.name;
    EXPECT_EQ(std::u16string(cc), c.cc) << c.name;
    MapiValue written;
    for (ULONG tag : {PR_DISPLAY_TO, PR_DISPLAY_CC}) {
      bool has = memGetProp(memObject(m), tag, &written);
      EXPECT_EQ(has, tag == c.writtenTag) << c.name;
      if (has) {
        EXPECT_EQ(written.text, tag == PR_DISPLAY_TO ? c.to : c.cc) << c.name;
      }
    }
  }
}

TEST_F(PropsTest, RecipientsSurviveFaults)
{
  MemMessage *none = add({});
  WCHAR to[16] = {u'#', 0};
  EXPECT_FALSE(getRecipients(open(none).get(), to, nullptr, 16)) << "no header text at all";

  MemMessage *m = add({.text = std::string(300, 'X') + "\r\nTo: bob@x\r\n\r\n"});
  ComRef<IMAPIProp> msg = open(m);
  memThrowOnCall(world(), MapiCall::StreamRead, 2);
  EXPECT_FALSE(getRecipients(msg.get(), to, nullptr, 16)) << "a raising read ends the reading";
  EXPECT_EQ(std::u16string(to), u"#");

  memFailCall(world(), MapiCall::PropSetProps, 1, MAPI_E_NO_ACCESS);
  EXPECT_TRUE(getRecipients(msg.get(), to, nullptr, 16)) << "a refused write-back is ignored";
  EXPECT_EQ(std::u16string(to), u"bob@x");
  memThrowOnCall(world(), MapiCall::PropSetProps, 1);
  EXPECT_TRUE(getRecipients(msg.get(), to, nullptr, 16)) << "so is a raising one";
}

TEST_F(PropsTest, FailedReadsAreToldFromAbsentOnes)
{
  MemMessage *m = add({.subject = u"Hi", .delivered = 42});
  ComRef<IMAPIProp> msg = open(m);
  WCHAR buffer[8];
  bool failed = false;
  EXPECT_EQ(getLong(msg.get(), PR_CONTENT_COUNT, &failed), 0);
  EXPECT_FALSE(getBool(msg.get(), PR_HASATTACH, &failed));
  EXPECT_FALSE(failed) << "absent properties are no failure";
  ULONGLONG when = 0;
  EXPECT_TRUE(getTime(msg.get(), PR_MESSAGE_DELIVERY_TIME, &when, &failed));
  EXPECT_EQ(when, 42u);
  EXPECT_FALSE(failed);

  memFailCall(world(), MapiCall::PropGetProps, 1, MAPI_E_CALL_FAILED);
  EXPECT_EQ(getString(msg.get(), PR_SUBJECT, buffer, 8, &failed), nullptr);
  EXPECT_TRUE(failed);
  failed = false;
  memThrowOnCall(world(), MapiCall::PropGetProps, 1);
  EXPECT_FALSE(getTime(msg.get(), PR_MESSAGE_DELIVERY_TIME, &when, &failed));
  EXPECT_TRUE(failed);
  EXPECT_EQ(getString(msg.get(), PR_SUBJECT, buffer, 8, &failed), buffer) << "a later read is not affected";
}
